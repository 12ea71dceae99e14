#include "ctl/Words.h"

#include "protocol/Display.h"
#include "protocol/Markers.h"
#include "protocol/Text.h"
#include "session/DisplayText.h"
#include "session/Texts.h"
#include "settings/CharacterSet.h"

namespace trivex::ctl {

namespace {

// A whole number from first to last, or why not.
QString numberIn(const QString& text, int first, int last, const QString& what, int* value) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < first || number > last) {
        return QStringLiteral("%1 \"%2\" refused: enter a whole number %3 to %4")
            .arg(what, text)
            .arg(first)
            .arg(last);
    }
    *value = number;
    return {};
}

Build sends(protocol::Bytes (*command)()) {
    return [command](const QStringList&, Step& step) {
        step.bytes = command();
        return QString();
    };
}

Build chooses(const QString& what, const QStringList& choices, std::vector<protocol::Bytes (*)()> commands) {
    return [=](const QStringList& args, Step& step) {
        int index = 0;
        const QString refusal = oneOf(args[0], choices, what, &index);
        if (refusal.isEmpty()) {
            step.bytes = commands[static_cast<std::size_t>(index)]();
        }
        return refusal;
    };
}

// A number from first to last put into a display command.
Build numbered(const QString& what, int first, int last, protocol::Bytes (*command)(std::uint8_t)) {
    return [=](const QStringList& args, Step& step) {
        int value = 0;
        const QString refusal = numberIn(args[0], first, last, what, &value);
        step.bytes = command(static_cast<std::uint8_t>(value));
        return refusal;
    };
}

Build configures(const QString& done, std::function<QString(const QStringList&, Step&)> build) {
    return [=](const QStringList& args, Step& step) {
        step.kind = Step::Kind::Configure;
        step.text = done;
        return build(args, step);
    };
}

} // namespace

// One of the choices, or why not.
QString oneOf(const QString& text, const QStringList& choices, const QString& what, int* index) {
    *index = static_cast<int>(choices.indexOf(text.toLower()));
    return *index >= 0 ? QString()
                       : QStringLiteral("%1 \"%2\" refused: one of %3")
                             .arg(what, text, choices.join(QStringLiteral(", ")));
}

const std::map<QString, Word>& words() {
    using K = Step::Kind;
    static const std::map<QString, Word> table{
        {QStringLiteral("select"),
         {{QStringLiteral("ADDR")},
          QStringLiteral("start frame to ADDR, its acknowledge awaited"),
          [](const QStringList& args, Step& step) {
              step.kind = K::Select;
              step.text = args[0];
              const auto address = protocol::parseByte(args[0].toStdString());
              step.number = address.value_or(0);
              return address ? QString() : texts::kAddressRefused.arg(args[0]);
          }}},
        {QStringLiteral("release"),
         {{},
          QStringLiteral("stop frame, its acknowledge awaited"),
          [](const QStringList&, Step& step) {
              step.kind = K::Release;
              return QString();
          }}},
        {QStringLiteral("input"),
         {{},
          QStringLiteral("input status query: prints HIGH or LOW"),
          [](const QStringList&, Step& step) {
              step.kind = K::Input;
              return QString();
          }}},
        {QStringLiteral("text"),
         {{QStringLiteral("LINE"), QStringLiteral("TEXT")},
          QStringLiteral("line 1 or 2 of the display's text, sent with the other line as \"Send Text\" does"),
          [](const QStringList& args, Step& step) {
              step.kind = K::Text;
              step.text = args[1];
              const QString refusal =
                  numberIn(args[0], 1, protocol::kLineCount, QStringLiteral("Line"), &step.number);
              return refusal.isEmpty() ? session::displayTextRefusal(args[1]) : refusal;
          }}},
        {QStringLiteral("clear"),
         {{},
          QStringLiteral("clear the display, and both lines of text"),
          [](const QStringList&, Step& step) {
              step.kind = K::Clear;
              step.bytes = protocol::clearDisplay();
              return QString();
          }}},
        {QStringLiteral("clear-row"),
         {{QStringLiteral("N")},
          QStringLiteral("clear row N (0 or 1)"),
          numbered(QStringLiteral("Row"), 0, protocol::kLineCount - 1, protocol::clearRow)}},
        {QStringLiteral("clear-column"),
         {{QStringLiteral("N")},
          QStringLiteral("clear column N (0 to 15)"),
          numbered(QStringLiteral("Column"), 0, protocol::kLineLength - 1, protocol::clearColumn)}},
        {QStringLiteral("cursor"),
         {{QStringLiteral("ROW"), QStringLiteral("COL")},
          QStringLiteral("set the cursor position"),
          [](const QStringList& args, Step& step) {
              int row = 0;
              int column = 0;
              QString refusal = numberIn(args[0], 0, protocol::kLineCount - 1, QStringLiteral("Row"), &row);
              if (refusal.isEmpty()) {
                  refusal =
                      numberIn(args[1], 0, protocol::kLineLength - 1, QStringLiteral("Column"), &column);
              }
              step.bytes = protocol::setCursorPosition(static_cast<std::uint8_t>(row),
                                                       static_cast<std::uint8_t>(column));
              return refusal;
          }}},
        {QStringLiteral("cursor-style"),
         {{QStringLiteral("underline|blink|hide")},
          QStringLiteral("the cursor's look"),
          chooses(QStringLiteral("Cursor style"),
                  {QStringLiteral("underline"), QStringLiteral("blink"), QStringLiteral("hide")},
                  {protocol::underlineCursor, protocol::blinkingCursor, protocol::hideCursor})}},
        {QStringLiteral("backlight"),
         {{QStringLiteral("on|off|blink")},
          QStringLiteral("the backlight"),
          chooses(QStringLiteral("Backlight"),
                  {QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("blink")},
                  {protocol::backlightOn, protocol::backlightOff, protocol::backlightBlink})}},
        {QStringLiteral("output"),
         {{QStringLiteral("on|off")},
          QStringLiteral("the output line"),
          chooses(QStringLiteral("Output"), {QStringLiteral("on"), QStringLiteral("off")},
                  {protocol::outputOn, protocol::outputOff})}},
        {QStringLiteral("show-default"),
         {{}, QStringLiteral("show the default screen"), sends(protocol::showDefaultScreen)}},
        {QStringLiteral("graph-init"),
         {{}, QStringLiteral("prepare the bar graph"), sends(protocol::initGraph)}},
        {QStringLiteral("graph"),
         {{QStringLiteral("left|right"), QStringLiteral("LENGTH")},
          QStringLiteral("a bar graph of LENGTH (0 to 80) from the left or the right"),
          [](const QStringList& args, Step& step) {
              int side = 0;
              int length = 0;
              QString refusal = oneOf(args[0], {QStringLiteral("left"), QStringLiteral("right")},
                                      QStringLiteral("Graph side"), &side);
              if (refusal.isEmpty()) {
                  refusal = numberIn(args[1], 0, protocol::kMaxGraphLength, QStringLiteral("Graph length"),
                                     &length);
              }
              const auto value = static_cast<std::uint8_t>(length);
              step.bytes = side == 0 ? protocol::graphLeftToRight(value) : protocol::graphRightToLeft(value);
              return refusal;
          }}},
        {QStringLiteral("char"),
         {{QStringLiteral("K")},
          QStringLiteral("insert custom character K (1 to 8)"),
          [](const QStringList& args, Step& step) {
              int number = 0;
              const QString refusal =
                  numberIn(args[0], 1, protocol::kCustomCharacterCount, QStringLiteral("Character"), &number);
              step.bytes = protocol::customCharacter(number);
              return refusal;
          }}},
        {QStringLiteral("send"),
         {{QStringLiteral("HEX")},
          QStringLiteral("raw bytes, as pairs of hex digits (\"FE 14\" or FE14)"),
          [](const QStringList& args, Step& step) {
              const auto bytes = protocol::parseHexBytes(args[0].toStdString());
              step.bytes = bytes.value_or(protocol::Bytes());
              return bytes
                         ? QString()
                         : QStringLiteral("Bytes \"%1\" refused: pairs of hex digits, as FE 14").arg(args[0]);
          }}},
        {QStringLiteral("set-uid"),
         {{QStringLiteral("N")},
          QStringLiteral("configuration: the module's address becomes N"),
          configures(texts::kUidChanged,
                     [](const QStringList& args, Step& step) {
                         const auto uid = protocol::parseByte(args[0].toStdString());
                         step.configuration = protocol::setUid(uid.value_or(0));
                         return uid ? QString() : texts::kUidRefused.arg(args[0]);
                     })}},
        {QStringLiteral("set-speed"),
         {{QStringLiteral("4800|9600")},
          QStringLiteral("configuration: the module's line speed, from the command on"),
          configures(texts::kBaudChanged,
                     [](const QStringList& args, Step& step) {
                         int index = 0;
                         const QString refusal =
                             oneOf(args[0], {QStringLiteral("4800"), QStringLiteral("9600")},
                                   QStringLiteral("Speed"), &index);
                         step.speedAfter = index == 0 ? 4800 : 9600;
                         step.configuration = protocol::setLineSpeed(
                             index == 0 ? protocol::LineSpeed::Baud4800 : protocol::LineSpeed::Baud9600);
                         return refusal;
                     })}},
        {QStringLiteral("set-default-screen"),
         {{QStringLiteral("LINE1"), QStringLiteral("LINE2")},
          QStringLiteral("configuration: the start-up screen"),
          configures(texts::kScreenChanged,
                     [](const QStringList& args, Step& step) {
                         QString refusal;
                         const auto command = session::defaultScreenCommand(args[0], args[1], &refusal);
                         step.configuration = command.value_or(protocol::ConfigurationCommand{});
                         return refusal;
                     })}},
        {QStringLiteral("set-chars"),
         {{QStringLiteral("FILE")},
          QStringLiteral("configuration: the custom characters of a character-set file"),
          configures(texts::kCharactersLoaded,
                     [](const QStringList& args, Step& step) {
                         QString why;
                         const auto set = settings::readCharacterSet(args[0], &why);
                         step.configuration =
                             protocol::loadCustomCharacters(set.value_or(settings::CharacterSet{}));
                         return set ? QString()
                                    : QStringLiteral("Character set %1 refused: %2").arg(args[0], why);
                     })}},
        {QStringLiteral("pause"),
         {{QStringLiteral("MS")},
          QStringLiteral("wait MS milliseconds"),
          [](const QStringList& args, Step& step) {
              step.kind = K::Pause;
              return numberIn(args[0], 0, 3600000, QStringLiteral("Pause"), &step.number);
          }}},
        {QStringLiteral("prompt"),
         {{QStringLiteral("TEXT")},
          QStringLiteral("print TEXT and wait for Enter (a line on standard input)"),
          [](const QStringList& args, Step& step) {
              step.kind = K::Prompt;
              step.text = args[0];
              return QString();
          }}},
        {QStringLiteral("expect"),
         {{QStringLiteral("input high|low | answer | no-answer")},
          QStringLiteral("query the input and check its level; or check the exchange before"),
          {}}},
    };
    return table;
}

} // namespace trivex::ctl
