// The options dialog: the user name, the font size and the switch for user-defined relations.
//
// TOptionDlgForm is only the window; RunOptionDialog fills it from the settings, previews a
// chosen font size on the main window, writes the settings on OK and, however the dialog is
// closed, puts the main window back to what the settings file holds. The dialog is modal and
// made for each use; it keeps no pointer to the settings or the main window.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace velmora::app {

class TQuillonIniFile;
class TUserInterface;

// What the dialog changes outside itself; an empty hook is skipped.
struct TOptionHooks {
    std::function<void(int)> setFontSize;  // the main window's SetFontSize (preview and final)
    std::function<void(bool)> setUseVariousLink;  // the main window's SetUseVariousLink
    std::function<void()> refreshEditor;          // the concept editor's RefreshEditor
};

class TOptionDlgForm : public QDialog {
    Q_OBJECT

public:
    explicit TOptionDlgForm(QWidget* parent = nullptr);

    // Sets the fields; a font-size code outside 1..5 checks no size button.
    void Fill(const QString& author, int fontSize, bool useVariousLink);
    QString UserName() const;
    // The first checked size button's code 1..5, or 2 when none is checked.
    int SelectedFontSize() const;
    bool UseVariousLink() const;

signals:
    // The user clicked a size button; code is SelectedFontSize() after the click.
    void FontSizeClicked(int code);

protected:
    // A size previewed while the dialog is open applies to the dialog too; it makes room.
    void changeEvent(QEvent* event) override;

private:
    void FitToFont();

    QLineEdit* m_editUser;
    std::array<QRadioButton*, 5> m_sizeButtons;
    QCheckBox* m_checkBoxUseVariousLink;
};

// Opens the dialog through ui.RunModal and carries out the opening and closing steps. A write
// that fails raises ESettingsWriteError and ends the closing steps there.
void RunOptionDialog(TUserInterface& ui, TQuillonIniFile& settings, const TOptionHooks& hooks,
                     QWidget* parent = nullptr);

}  // namespace velmora::app
