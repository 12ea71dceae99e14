#pragma once

#include "forms/tools/GlyphWidgets.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;

namespace trivex::forms {

// The glyph editor of one custom character: its 5 x 8 pixels drawn with the mouse or the
// keyboard, its eight row values in decimal, hex and binary, a preview as the display shows
// it, a library of glyphs to start from, and character-set files to open and save. It works on
// a copy of the 64 bitmap cells; OK hands them back, Cancel changes nothing.
class frmGlyph : public QDialog {
    Q_OBJECT
public:
    // cells: the texts of the 64 bitmap cells; character: 1 to 8.
    frmGlyph(const QStringList& cells, int character, QWidget* parent = nullptr);

    // The cells as the editor leaves them: this character's eight as decimal values, all 64
    // when a character set was opened.
    QStringList cells() const;

    GlyphGrid* grid;
    GlyphPreview* preview;
    QLabel* lblValues;
    QLabel* lblNotes;
    QComboBox* cboLibrary;

    // The 64 cells from a character-set file, or to one; false, with a message that says why
    // and nothing changed, when it cannot be done.
    bool openSet(const QString& path);
    bool saveSet(const QString& path);

private:
    void refresh();
    void transform(const std::function<std::uint8_t(int row, std::uint8_t pixels)>& change);
    QPushButton* addButton(const QString& caption, const QString& accessibleName);

    int character_;
    QStringList cells_;
    QStringList notes_; // about rows whose cell held no byte
};

} // namespace trivex::forms
