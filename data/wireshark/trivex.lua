-- Wireshark dissector for the TRIVEX RS485 bus, as trivex captures it: pcapng on the user
-- link type DLT_USER0 (147), a packet per frame, command, text run or reply, its direction in
-- the packet's flags (outbound: the controller's, inbound: a module's), the line speed in the
-- interface's description.
--
-- Every field of every frame and command is shown by its name, the meaning in the words the
-- trivex monitor uses, and what an engineer looks for as expert info: a start frame with no
-- acknowledge within the reply window, a garbled acknowledge, an acknowledge from another
-- address, a configuration command while a module is selected, bytes that fit no frame.
-- Those depend on the packets around: read a capture with two passes (tshark -2, or as
-- Wireshark does when a packet is selected).
--
--   tshark -2 -r capture.pcapng                   (installed with trivex)
--   tshark -X lua_script:trivex.lua -2 -r capture.pcapng

local trivex = Proto("trivex", "TRIVEX RS485 bus")

local kinds = {
    start = "start frame", stop = "stop frame", command = "command", display = "display data",
    acknowledge = "acknowledge", reply = "input status reply", garbled = "bytes that are no reply",
}

local f = {
    direction = ProtoField.string("trivex.direction", "Direction"),
    kind = ProtoField.string("trivex.kind", "Kind"),
    address = ProtoField.uint8("trivex.address", "Address"),
    code = ProtoField.uint8("trivex.command", "Command code", base.HEX),
    command = ProtoField.string("trivex.command_name", "Command"),
    row = ProtoField.uint8("trivex.row", "Row"),
    column = ProtoField.uint8("trivex.column", "Column"),
    length = ProtoField.uint8("trivex.length", "Graph length"),
    uid = ProtoField.uint8("trivex.uid", "UID"),
    line1 = ProtoField.string("trivex.line1", "Default screen, line 1"),
    line2 = ProtoField.string("trivex.line2", "Default screen, line 2"),
    bitmaps = ProtoField.bytes("trivex.bitmaps", "Custom character bitmaps"),
    text = ProtoField.string("trivex.text", "Text"),
    status = ProtoField.uint8("trivex.status", "Input status byte", base.HEX),
    level = ProtoField.string("trivex.level", "Input level"),
    meaning = ProtoField.string("trivex.meaning", "Meaning"),
    flag = ProtoField.string("trivex.flag", "Flag"),
}
trivex.fields = {}
for _, field in pairs(f) do
    table.insert(trivex.fields, field)
end

local flags = {
    no_ack = "no acknowledge within the reply window",
    garbled = "garbled acknowledge: two modules answered at once",
    other = "acknowledge from another address than the one called (",
    config = "configuration command while module ",
    no_frame = "bytes that fit no frame",
}
local experts = {
    no_ack = ProtoExpert.new("trivex.no_ack", flags.no_ack, expert.group.SEQUENCE, expert.severity.WARN),
    garbled = ProtoExpert.new("trivex.garbled", flags.garbled, expert.group.MALFORMED, expert.severity.WARN),
    other = ProtoExpert.new("trivex.other_address", "acknowledge from another address than the one called",
                            expert.group.SEQUENCE, expert.severity.WARN),
    config = ProtoExpert.new("trivex.config_while_selected", "configuration command while a module is selected",
                             expert.group.PROTOCOL, expert.severity.WARN),
    no_frame = ProtoExpert.new("trivex.no_frame", flags.no_frame, expert.group.MALFORMED, expert.severity.WARN),
}
trivex.experts = { experts.no_ack, experts.garbled, experts.other, experts.config, experts.no_frame }

-- The command tables: display commands, then configuration commands (their codes differ).
local display = {
    [0x01] = { "underline cursor", 0 }, [0x02] = { "blinking cursor", 0 }, [0x03] = { "hide cursor", 0 },
    [0x04] = { "init graph", 0 }, [0x06] = { "backlight on", 0 }, [0x07] = { "backlight off", 0 },
    [0x0B] = { "backlight blink", 0 }, [0x0C] = { "output on", 0 }, [0x0D] = { "output off", 0 },
    [0x0E] = { "input status query", 0 }, [0x14] = { "show default screen", 0 },
    [0x2B] = { "left-to-right graph", 1 }, [0x2C] = { "right-to-left graph", 1 },
    [0x2D] = { "clear row", 1 }, [0x2E] = { "clear column", 1 }, [0x32] = { "cursor position", 2 },
}
local configuration = {
    [0x30] = { "set UID", 1 }, [0x1E] = { "line speed 9600 bit/s", 0 }, [0x1F] = { "line speed 4800 bit/s", 0 },
    [0xC8] = { "set default screen", 32 }, [0x64] = { "load custom characters", 64 },
}
local function command_of(code)
    return display[code] or configuration[code]
end

local START, STOP, PREFIX, ACK = 0xEF, 0xEA, 0xFE, 0xEE
local CLEAR, LINE_BREAK = 0x0D, 0x0C
local CONFIGURATION_ADDRESS = 100
local INPUT_STATUS = 0x0E
local REPLY_WINDOW = 0.150

local function hex(byte)
    return string.format("%02X", byte)
end

-- Text as the monitor shows it: printable characters themselves (Latin-1 ones in UTF-8),
-- others as \xNN, in double quotes.
local function quoted(bytes, from, to)
    local out = { '"' }
    for i = from, to do
        local b = bytes[i]
        if b >= 0x20 and b < 0x7F and b ~= 0x22 and b ~= 0x5C then
            out[#out + 1] = string.char(b)
        elseif b >= 0xA0 then
            out[#out + 1] = string.char(0xC0 + math.floor(b / 64), 0x80 + b % 64)
        else
            out[#out + 1] = "\\x" .. hex(b)
        end
    end
    out[#out + 1] = '"'
    return table.concat(out)
end

local function is_text(b)
    return b > 0x07 and b ~= START and b ~= STOP and b ~= PREFIX and b ~= CLEAR and b ~= LINE_BREAK
end

-- The meaning of a complete command with its parameters.
local function command_meaning(code, bytes, at)
    local name = command_of(code)[1]
    if code == 0x2B or code == 0x2C then
        return name .. ", length " .. bytes[at]
    elseif code == 0x2D then
        return "clear row " .. bytes[at]
    elseif code == 0x2E then
        return "clear column " .. bytes[at]
    elseif code == 0x32 then
        return "cursor to row " .. bytes[at] .. ", column " .. bytes[at + 1]
    elseif code == 0x30 then
        return "set UID " .. bytes[at]
    elseif code == 0xC8 then
        return "set default screen " .. quoted(bytes, at, at + 15) .. " " .. quoted(bytes, at + 16, at + 31)
    elseif code == 0x64 then
        return "load custom characters, 64 bytes"
    end
    return name
end

-- The parts of bytes a controller wrote, in the monitor's words.
local function sent_meaning(bytes)
    local parts, at, n = {}, 1, #bytes
    while at <= n do
        local b, left = bytes[at], n - at + 1
        if b == START then
            if left < 2 then
                parts[#parts + 1] = "start frame without its address"; at = at + 1
            else
                local address = bytes[at + 1]
                parts[#parts + 1] = "start frame, address " .. address ..
                    (address == CONFIGURATION_ADDRESS and " (configuration)" or "")
                at = at + 2
            end
        elseif b == STOP then
            parts[#parts + 1] = "stop frame"; at = at + 1
        elseif b == PREFIX then
            if left < 2 then
                parts[#parts + 1] = "command prefix without its command"; at = at + 1
            else
                local code = bytes[at + 1]
                local command = command_of(code)
                if not command then
                    parts[#parts + 1] = "unknown command FE " .. hex(code); at = at + 2
                else
                    local present = math.min(left - 2, command[2])
                    if present < command[2] then
                        parts[#parts + 1] = command[1] .. ", cut short: " .. present .. " of " .. command[2] ..
                            " parameter bytes"
                    else
                        parts[#parts + 1] = command_meaning(code, bytes, at + 2)
                    end
                    at = at + 2 + present
                end
            end
        elseif b == CLEAR then
            parts[#parts + 1] = "clear display"; at = at + 1
        elseif b == LINE_BREAK then
            parts[#parts + 1] = "line break"; at = at + 1
        elseif not is_text(b) then
            parts[#parts + 1] = "custom character " .. (b + 1); at = at + 1
        else
            local to = at
            while to + 1 <= n and is_text(bytes[to + 1]) do to = to + 1 end
            parts[#parts + 1] = "text " .. quoted(bytes, at, to); at = to + 1
        end
    end
    return table.concat(parts, ", ")
end

-- The parts of bytes modules sent; reply_length 3 while an input status reply is awaited.
local function received_meaning(bytes, reply_length)
    local parts, at, n = {}, 1, #bytes
    while at <= n do
        if bytes[at] ~= ACK then
            local to = at
            while to + 1 <= n and bytes[to + 1] ~= ACK do to = to + 1 end
            parts[#parts + 1] = "bytes that are no reply"; at = to + 1
        elseif at + 1 > n then
            parts[#parts + 1] = "acknowledge without its address"; at = at + 1
        else
            parts[#parts + 1] = "acknowledge from " .. bytes[at + 1]; at = at + 2
            if reply_length == 3 and at <= n then
                local status = bytes[at]
                parts[#parts + 1] = status == 0x08 and "input status: HIGH" or status == 0x00 and "input status: LOW" or
                    "input status byte " .. hex(status) .. ", no meaning"
                at = at + 1
            end
        end
    end
    return table.concat(parts, ", ")
end

-- What the packets before a packet tell of it, worked out in order on the first pass.
local state, results
local function reset()
    state = { waiting = nil, called = -1, held = nil, held_time = 0 }
    results = {}
end
reset()

local function resolve(answered)
    if state.held then
        if not answered then
            table.insert(results[state.held].flags, flags.no_ack)
            state.waiting = nil
        end
        state.held = nil
    end
end

local function read_packet(number, time, outbound, bytes)
    local r = { flags = {}, reply_length = 2 }
    results[number] = r
    if state.held and time - state.held_time > REPLY_WINDOW then
        resolve(false)
    end
    local first, n = bytes[1], #bytes
    if not outbound then
        if first ~= ACK then
            r.kind = "garbled"
            table.insert(r.flags, flags.garbled)
            state.waiting = nil
            resolve(true)
        else
            r.kind = state.waiting == "input" and "reply" or "acknowledge"
            r.reply_length = state.waiting == "input" and 3 or 2
            if n < r.reply_length then
                table.insert(r.flags, flags.no_frame)
            elseif not state.waiting then
                table.insert(r.flags, flags.no_frame)
            else
                local address = bytes[2]
                if address ~= state.called then
                    table.insert(r.flags, flags.other .. state.called .. ")")
                elseif state.waiting == "ack" then
                    state.selected = address
                end
                state.waiting = nil
                resolve(true)
            end
        end
    elseif first == START then
        r.kind = "start"
        if n < 2 then
            table.insert(r.flags, flags.no_frame)
        else
            resolve(false)
            local address = bytes[2]
            state.before_config = address == CONFIGURATION_ADDRESS and state.selected or nil
            state.configuring = address == CONFIGURATION_ADDRESS
            state.selected = nil
            -- A configuration command awaits no acknowledge: only a module at the configuration
            -- address gives one.
            state.waiting, state.called, state.held_time = "ack", address, time
            state.held = not state.configuring and number or nil
        end
    elseif first == STOP then
        r.kind = "stop"
        resolve(false)
        state.waiting, state.selected, state.before_config, state.configuring = nil, nil, nil, false
    elseif first == PREFIX then
        r.kind = "command"
        if not state.held then
            state.waiting = nil -- an acknowledge nobody waits for is no longer due
        end
        local command = n >= 2 and command_of(bytes[2])
        if not command or n < 2 + command[2] then
            table.insert(r.flags, flags.no_frame)
        elseif state.configuring and configuration[bytes[2]] and state.before_config then
            table.insert(r.flags, flags.config .. state.before_config .. " is selected")
        end
        if command and bytes[2] == INPUT_STATUS then
            resolve(false)
            state.waiting, state.called = "input", state.selected or -1
            state.held, state.held_time = number, time
        end
    else
        r.kind = "display"
    end
    r.meaning = outbound and sent_meaning(bytes) or received_meaning(bytes, r.reply_length)
end

local function field_of(tree, buffer, kind, bytes, reply_length)
    local n = #bytes
    if kind == "start" and n >= 2 then
        tree:add(f.address, buffer(1, 1))
    elseif kind == "command" and n >= 2 then
        local code = bytes[2]
        tree:add(f.code, buffer(1, 1))
        local command = command_of(code)
        if command then
            tree:add(f.command, buffer(1, 1), command[1])
            if n >= 2 + command[2] then
                if code == 0x2B or code == 0x2C then
                    tree:add(f.length, buffer(2, 1))
                elseif code == 0x2D then
                    tree:add(f.row, buffer(2, 1))
                elseif code == 0x2E then
                    tree:add(f.column, buffer(2, 1))
                elseif code == 0x32 then
                    tree:add(f.row, buffer(2, 1)); tree:add(f.column, buffer(3, 1))
                elseif code == 0x30 then
                    tree:add(f.uid, buffer(2, 1))
                elseif code == 0xC8 then
                    tree:add(f.line1, buffer(2, 16), quoted(bytes, 3, 18))
                    tree:add(f.line2, buffer(18, 16), quoted(bytes, 19, 34))
                elseif code == 0x64 then
                    tree:add(f.bitmaps, buffer(2, 64))
                end
            end
        end
    elseif kind == "display" then
        tree:add(f.text, buffer(), quoted(bytes, 1, n))
    elseif (kind == "acknowledge" or kind == "reply") and n >= 2 then
        tree:add(f.address, buffer(1, 1))
        if reply_length == 3 and n >= 3 then
            local status = bytes[3]
            tree:add(f.status, buffer(2, 1))
            tree:add(f.level, buffer(2, 1), status == 0x08 and "HIGH" or status == 0x00 and "LOW" or "no meaning")
        end
    end
end

function trivex.init()
    reset()
end

function trivex.dissector(buffer, pinfo, root)
    local n = buffer:len()
    if n == 0 then
        return 0
    end
    local bytes = {}
    for i = 1, n do
        bytes[i] = buffer(i - 1, 1):uint()
    end
    -- The packet's flags, as Wireshark hands them on: received (inbound) is a module's.
    local outbound = pinfo.p2p_dir ~= 1
    if not pinfo.visited or not results[pinfo.number] then
        read_packet(pinfo.number, pinfo.abs_ts, outbound, bytes)
    end
    local r = results[pinfo.number]
    pinfo.cols.protocol = "TRIVEX"
    pinfo.cols.src = outbound and "controller" or "module"
    pinfo.cols.dst = outbound and "modules" or "controller"
    local info = r.meaning
    for _, flag in ipairs(r.flags) do
        info = info .. " [" .. flag .. "]"
    end
    pinfo.cols.info = info
    local tree = root:add(trivex, buffer(), "TRIVEX RS485 bus: " .. r.meaning)
    tree:add(f.direction, buffer(), outbound and "controller" or "module")
    tree:add(f.kind, buffer(), kinds[r.kind])
    field_of(tree, buffer, r.kind, bytes, r.reply_length)
    tree:add(f.meaning, buffer(), r.meaning)
    for _, flag in ipairs(r.flags) do
        tree:add(f.flag, buffer(), flag)
        local which = flag == flags.no_ack and "no_ack" or flag == flags.garbled and "garbled" or
            flag == flags.no_frame and "no_frame" or flag:sub(1, #flags.other) == flags.other and "other" or "config"
        tree:add_proto_expert_info(experts[which], flag)
    end
    return n
end

DissectorTable.get("wtap_encap"):add(wtap.USER0, trivex)
