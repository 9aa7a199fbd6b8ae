#include "word_export_form.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <optional>

#include "qt_text.h"
#include "word_export.h"

namespace velmora::app {

using store::TButtons;
using store::TMessageKind;

TFormExportWord::TFormExportWord(TUserInterface& ui, store::TDataModule1& store,
                                 const store::TOntology& ontology, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_store(store), m_ontology(ontology) {
    setObjectName("FormExportWord");
    setWindowTitle("Microsoft Word へのエクスポート");
    resize(405, 256);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setPlainText(FromUtf8(exchange::WordExportNotes()));
    BtnStart = new QPushButton("実行", this);
    BtnStart->setObjectName("BtnStart");
    BtnStart->setDefault(true);
    connect(BtnStart, &QPushButton::clicked, this, [this] { BtnStartClick(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnStart);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(buttons);
}

QString TFormExportWord::DefaultFileName() const {
    QString title = FromCp932(m_ontology.Title()).trimmed();
    // A title may hold characters a file name cannot.
    title.replace('/', '_').replace('\\', '_');
    if (title.isEmpty()) {
        title = "ontology";
    }
    const QString name = title + ".docx";
    if (m_ontology.FileName().empty()) {
        return name;
    }
    return QFileInfo(PathText(m_ontology.FileName())).dir().filePath(name);
}

void TFormExportWord::BtnStartClick() {
    const std::optional<QString> path = m_ui.AskSaveFileName(
        this, DefaultFileName(), "Word 文書 (*.docx);;すべてのファイル (*)", "docx");
    if (!path || !MayWriteFile(m_ui, *path)) {
        return;
    }
    try {
        TWorkProgress progress(this, "Word 文書を書き出しています...", progressHook);
        exchange::ExportWordFile(m_store, m_ontology, PathBytes(*path),
                                 [&progress](int done, int total) { progress.Step(done, total); });
    } catch (const EWorkCancelled&) {
        // The document is put in place only when complete: nothing was written.
        return;
    } catch (const std::exception& error) {
        m_ui.Ask(TMessageKind::Error, TButtons::Ok, FromUtf8(error.what()));
        reject();
        return;
    }
    if (!m_ui.OpenWithDesktop(*path)) {
        m_ui.Ask(TMessageKind::Information, TButtons::Ok,
                 "Word 文書を書き出しました. 開くプログラムが見つかりません:\n" + *path);
    }
    accept();
}

}  // namespace velmora::app
