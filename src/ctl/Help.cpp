// trivexctl --help.

#include "ctl/Options.h"
#include "ctl/Steps.h"
#include "link/BusScan.h"

namespace trivex::ctl {

QString usage() {
    return QStringLiteral(
               "Usage: trivexctl [OPTIONS] WORD [ARGS] [WORD [ARGS]]...\n"
               "Drives and tests TRIVEX character LCD modules on an RS485 bus, without a display.\n"
               "\n"
               "Options (before the first word):\n"
               "  --port COMn|PATH|URL the port: a COM number as trivex maps it, a device path, or\n"
               "                       rfc2217://host:port or tcp://host:port (default: the\n"
               "                       port the settings name; trivexctl never picks one itself)\n"
               "  --speed 4800|9600    the line speed (default: the settings' speed, else 9600)\n"
               "  --ini FILE           the settings file (default: TRIVEX_INI, else trivex's file)\n"
               "  --ignore-echo        take an echoing adapter's echo out of what is read\n"
               "  --report junit FILE  a JUnit XML report of the steps\n"
               "  --json               a JSON object per step, problem and summary instead of text\n"
               "  --station NAME, --operator NAME, --batch ID\n"
               "                       who ran it, for the report and the log (default: the host\n"
               "                       name, the login name, an identifier made at the start)\n"
               "  -h, --help           this text;  -v, --version  the version\n"
               "\n"
               "Words, run in order (the steps of a call are checked before the first byte is sent):\n"
               "%1"
               "  run FILE\n"
               "      the steps of a test script, one a line; # begins a comment\n"
               "\n"
               "Words that stand alone, with options of their own after them:\n"
               "  scan [--from N] [--to N] [--speeds 9600,4800] [--allowance MS]\n"
               "      find the modules: each probe waits its wire time and a module's answer\n"
               "      time, at least MS more (default %2); answers the adapter holds back are\n"
               "      credited when they come, and a slower module widens the window\n"
               "  monitor [--for SECONDS] [--listen-only] [--capture FILE.pcapng]\n"
               "      print the bus traffic, decoded, until interrupted; --listen-only: a bus\n"
               "      another controller drives, heard on a port of its own that sends nothing,\n"
               "      a line per frame of either side, faults marked; --capture: kept for Wireshark\n"
               "  decode FILE.pcapng\n"
               "      print a capture as the listening monitor prints a bus\n"
               "  commission --first ADDR --count N [--from ADDR] [--speed 4800|9600]\n"
               "             [--screen LINE1 LINE2] [--chars FILE] [--log FILE.csv | --resume FILE.csv]\n"
               "             [--no-prompt]\n"
               "      give new modules, one at a time alone on the bus, their address, speed,\n"
               "      start-up screen and characters, and check each; nothing is configured\n"
               "      before the bus was checked to hold exactly that one module (at --from, or\n"
               "      by a scan of every address). --resume goes on with a batch from its log.\n"
               "\n"
               "Exit status: 0 all passed, 1 a check failed, 2 refused before sending, 3 port problem,\n"
               "4 a result not recorded (report or log row not written), 5 stopped by a signal or by\n"
               "the end of standard input at a prompt. When several hold: 4, 2, 3, 5, then 1.\n")
        .arg(wordsHelp())
        .arg(link::kDefaultAnswerAllowanceMs);
}

} // namespace trivex::ctl
