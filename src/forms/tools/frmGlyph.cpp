#include "forms/tools/frmGlyph.h"

#include "forms/kit/Messages.h"
#include "forms/tools/GlyphLibrary.h"
#include "protocol/Markers.h"
#include "protocol/Text.h"
#include "settings/CharacterSet.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace trivex::forms {

namespace {

constexpr std::uint8_t kPixels = 0x1F;
constexpr std::uint8_t kUpperBits = 0xE0;
const QString kSetFilter = QStringLiteral("Character sets (*.ini);;All files (*)");

int cellOf(int character, int row) {
    return (character - 1) * protocol::kBytesPerCustomCharacter + row;
}

} // namespace

frmGlyph::frmGlyph(const QStringList& cells, int character, QWidget* parent)
    : QDialog(parent)
    , character_(character)
    , cells_(cells) {
    setObjectName(QStringLiteral("frmGlyph"));
    setWindowTitle(QStringLiteral("CHAR %1").arg(character));
    grid = new GlyphGrid;
    grid->setObjectName(QStringLiteral("grid"));
    grid->setAccessibleName(QStringLiteral("Pixels of CHAR %1").arg(character));
    preview = new GlyphPreview;
    lblValues = new QLabel;
    lblValues->setObjectName(QStringLiteral("lblValues"));
    lblValues->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lblValues->setTextFormat(Qt::PlainText);
    lblNotes = new QLabel;
    lblNotes->setObjectName(QStringLiteral("lblNotes"));
    lblNotes->setWordWrap(true);
    lblNotes->setTextFormat(Qt::PlainText);
    cboLibrary = new QComboBox;
    cboLibrary->setObjectName(QStringLiteral("cboLibrary"));
    cboLibrary->setAccessibleName(QStringLiteral("Start from a glyph"));
    cboLibrary->addItem(QStringLiteral("Start from..."));
    for (const LibraryGlyph& glyph : glyphLibrary()) {
        cboLibrary->addItem(glyph.name);
    }

    auto* editing = new QHBoxLayout;
    for (const auto& [caption, name, change] :
         std::initializer_list<std::tuple<QString, QString, std::function<std::uint8_t(int, std::uint8_t)>>>{
             {QStringLiteral("C&lear"), QStringLiteral("Clear"),
              [](int, std::uint8_t) { return std::uint8_t(0); }},
             {QStringLiteral("&Invert"), QStringLiteral("Invert"),
              [](int, std::uint8_t pixels) { return static_cast<std::uint8_t>(~pixels & kPixels); }},
             {QStringLiteral("\u2190"), QStringLiteral("Shift left"),
              [](int, std::uint8_t pixels) { return static_cast<std::uint8_t>((pixels << 1) & kPixels); }},
             {QStringLiteral("\u2192"), QStringLiteral("Shift right"),
              [](int, std::uint8_t pixels) { return static_cast<std::uint8_t>(pixels >> 1); }},
         }) {
        QPushButton* button = addButton(caption, name);
        connect(button, &QPushButton::clicked, this, [this, change = change] { transform(change); });
        editing->addWidget(button);
    }
    for (const auto& [caption, name, step] :
         {std::tuple{QStringLiteral("\u2191"), QStringLiteral("Shift up"), 1},
          std::tuple{QStringLiteral("\u2193"), QStringLiteral("Shift down"), -1}}) {
        QPushButton* button = addButton(caption, name);
        connect(button, &QPushButton::clicked, this, [this, step = step] {
            const GlyphRows before = grid->rows();
            transform([&before, step](int row, std::uint8_t) {
                const int from = row + step;
                return from < 0 || from > 7
                           ? std::uint8_t(0)
                           : static_cast<std::uint8_t>(before[static_cast<std::size_t>(from)] & kPixels);
            });
        });
        editing->addWidget(button);
    }

    auto* open = addButton(QStringLiteral("&Open set..."), QStringLiteral("Open a character set"));
    auto* save = addButton(QStringLiteral("Sa&ve set..."), QStringLiteral("Save the character set"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(open);
    bottom->addWidget(save);
    bottom->addStretch();
    bottom->addWidget(buttons);

    auto* side = new QVBoxLayout;
    side->addWidget(lblValues);
    side->addWidget(preview, 0, Qt::AlignLeft);
    side->addWidget(cboLibrary);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(grid, 0, Qt::AlignTop);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(editing);
    layout->addWidget(lblNotes);
    layout->addLayout(bottom);

    // The character as its cells give it; a cell that holds no byte starts as an empty row.
    GlyphRows rows{};
    for (int row = 0; row < protocol::kBytesPerCustomCharacter; ++row) {
        const QString text = cells_.value(cellOf(character, row));
        const auto value = protocol::parseByte(text.toStdString());
        rows[static_cast<std::size_t>(row)] = value.value_or(0);
        if (!value && !text.isEmpty()) {
            notes_ << QStringLiteral("Byte %1 held \"%2\", which is no byte: its row starts empty.")
                          .arg(row + 1)
                          .arg(text);
        }
    }
    grid->setRows(rows);
    connect(grid, &GlyphGrid::changed, this, &frmGlyph::refresh);
    connect(cboLibrary, &QComboBox::activated, this, [this](int index) {
        if (index > 0) {
            const auto& glyph = glyphLibrary()[static_cast<std::size_t>(index - 1)].rows;
            transform([&glyph](int row, std::uint8_t) { return glyph[static_cast<std::size_t>(row)]; });
        }
    });
    connect(open, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Open a character set"), QString(), kSetFilter);
        if (!path.isEmpty()) {
            openSet(path);
        }
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the character set"),
                                                          QStringLiteral("characters.ini"), kSetFilter);
        if (!path.isEmpty()) {
            saveSet(path);
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    refresh();
    grid->setFocus();
}

QPushButton* frmGlyph::addButton(const QString& caption, const QString& accessibleName) {
    auto* button = new QPushButton(caption);
    button->setObjectName(accessibleName);
    button->setAccessibleName(accessibleName);
    button->setToolTip(accessibleName);
    button->setAutoDefault(false);
    return button;
}

// Changes the pixels of every row; the upper three bits stay as they were.
void frmGlyph::transform(const std::function<std::uint8_t(int row, std::uint8_t pixels)>& change) {
    GlyphRows rows = grid->rows();
    for (int row = 0; row < protocol::kBytesPerCustomCharacter; ++row) {
        std::uint8_t& value = rows[static_cast<std::size_t>(row)];
        value = static_cast<std::uint8_t>((value & kUpperBits) | (change(row, value & kPixels) & kPixels));
    }
    grid->setRows(rows);
}

void frmGlyph::refresh() {
    QStringList values;
    QStringList notes = notes_;
    const GlyphRows& rows = grid->rows();
    for (int row = 0; row < protocol::kBytesPerCustomCharacter; ++row) {
        const int value = rows[static_cast<std::size_t>(row)];
        values << QStringLiteral("%1  %2  %3  %4")
                      .arg(row + 1)
                      .arg(value, 3)
                      .arg(value, 2, 16, QLatin1Char('0'))
                      .arg(value, 8, 2, QLatin1Char('0'))
                      .toUpper();
        if (value & kUpperBits) {
            notes << QStringLiteral(
                         "Byte %1 (%2) has bits above the five pixels set; they have no pixel and are kept.")
                         .arg(row + 1)
                         .arg(value);
        }
    }
    lblValues->setText(QStringLiteral("   dec  hex binary\n") + values.join(QLatin1Char('\n')));
    lblNotes->setText(notes.join(QLatin1Char('\n')));
    preview->setRows(rows);
}

QStringList frmGlyph::cells() const {
    QStringList cells = cells_;
    for (int row = 0; row < protocol::kBytesPerCustomCharacter; ++row) {
        cells[cellOf(character_, row)] = QString::number(grid->rows()[static_cast<std::size_t>(row)]);
    }
    return cells;
}

bool frmGlyph::openSet(const QString& path) {
    QString why;
    const auto set = settings::readCharacterSet(path, &why);
    if (!set) {
        showMessage(this, QMessageBox::Warning,
                    QStringLiteral("%1 is not a character set: %2. No cell was changed.").arg(path, why));
        return false;
    }
    for (int cell = 0; cell < protocol::kCustomBitmapBytes; ++cell) {
        cells_[cell] = QString::number((*set)[static_cast<std::size_t>(cell)]);
    }
    notes_.clear();
    GlyphRows rows{};
    std::copy_n(set->begin() + cellOf(character_, 0), rows.size(), rows.begin());
    grid->setRows(rows);
    return true;
}

bool frmGlyph::saveSet(const QString& path) {
    const QStringList all = cells();
    settings::CharacterSet set{};
    for (int cell = 0; cell < protocol::kCustomBitmapBytes; ++cell) {
        // An empty cell is a blank row, as the editor shows it.
        const auto value = all[cell].trimmed().isEmpty() ? std::optional<std::uint8_t>(0)
                                                         : protocol::parseByte(all[cell].toStdString());
        if (!value) {
            showMessage(
                this, QMessageBox::Warning,
                QStringLiteral("The set was not saved: CHAR %1, byte %2 holds \"%3\", which is no byte.")
                    .arg(cell / 8 + 1)
                    .arg(cell % 8 + 1)
                    .arg(all[cell]));
            return false;
        }
        set[static_cast<std::size_t>(cell)] = *value;
    }
    if (const QString error = settings::writeCharacterSet(path, set); !error.isEmpty()) {
        showMessage(this, QMessageBox::Warning,
                    QStringLiteral("The set was not saved to %1: %2.").arg(path, error));
        return false;
    }
    return true;
}

} // namespace trivex::forms
