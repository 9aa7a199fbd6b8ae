// TFormEditLinkType: the editor of one link type ("リンクの定義の編集"): its label and its
// comment. It only collects the two texts; the properties dialog reads them after OK and
// writes the link type. OK with an empty label is refused with a warning and the editor stays
// open; Cancel always closes. Made for one use; UI thread only.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPlainTextEdit;

namespace velmora::app {

class TUserInterface;

class TFormEditLinkType : public QDialog {
    Q_OBJECT

public:
    // ui shows the warning of an empty label; it must outlive the editor.
    explicit TFormEditLinkType(TUserInterface& ui, QWidget* parent = nullptr);

    // The texts to start from; line breaks of the comment may be CR LF, CR or LF.
    void SetLink(const QString& label, const QString& comment);
    QString Label() const;
    // The comment with CR LF between its lines, as the tables keep multi-line text.
    QString Comment() const;

    // Closes with OK only when the label is not empty.
    void accept() override;

private:
    TUserInterface& m_ui;
    QLineEdit* m_title;
    QPlainTextEdit* m_comment;
};

}  // namespace velmora::app
