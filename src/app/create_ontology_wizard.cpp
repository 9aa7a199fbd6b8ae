#include "create_ontology_wizard.h"

#include <QColor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "settings.h"
#include "user_interface.h"

// The pictures live in a static library; nothing else references their resource object, so the
// linker would drop it unless it is pulled in by name. The macro must stand outside a namespace.
static void InitWizardResources() {
    Q_INIT_RESOURCE(wizard);
}

namespace velmora::app {

namespace {

constexpr int kClientWidth = 483;
constexpr int kClientHeight = 444;
constexpr int kAboutPage = 2;
const QColor kCream(0xFF, 0xFB, 0xF0);

QLabel* Picture(const char* name, const char* resource, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(QPixmap(resource));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QPushButton* Button(const char* name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Only the button the page names answers Enter, not whichever had the focus last.
    button->setAutoDefault(false);
    return button;
}

// A key press meant for the field's text, or text from an input method (Japanese arrives through
// one, not as key presses). Moving the cursor or the focus through a field is not typing: a field
// the user has only passed through keeps following the target.
bool IsTyping(const QEvent* event) {
    if (event->type() == QEvent::InputMethod) {
        const auto* input = static_cast<const QInputMethodEvent*>(event);
        return !input->commitString().isEmpty() || !input->preeditString().isEmpty();
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    switch (static_cast<const QKeyEvent*>(event)->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_CapsLock:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Escape:
            return false;
        default:
            return true;
    }
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

TPagesDlgCreateOntology::TPagesDlgCreateOntology(TUserInterface& ui, QWidget* parent)
    : QDialog(parent), m_ui(ui) {
    InitWizardResources();
    setObjectName("PagesDlgCreateOntology");
    setWindowTitle("オントロジーの新規作成");

    m_pages = new QTabWidget(this);
    m_pages->setObjectName("PageControl1");
    m_pages->tabBar()->hide();  // pages change only through the buttons
    m_pages->addTab(CreateExplanationPage("TabSheet1", ":/wizard/image1.svg", ":/wizard/image3.svg",
                                          "Image1", "Image3"),
                    "オントロジーとは1");
    m_pages->addTab(CreateExplanationPage("TabSheet2", ":/wizard/image2.svg", ":/wizard/image4.svg",
                                          "Image2", "Image4"),
                    "オントロジーとは2");
    m_pages->addTab(CreateAboutPage(), "作成するオントロジーについて");
    m_pages->addTab(CreateSubCategoryPage(), "作成");

    m_buttonBack = Button("ButtonBack", "<< 戻る", this);
    m_buttonForward = Button("ButtonForward", "進む >>", this);
    m_buttonCreate = Button("ButtonCreate", "作成", this);
    m_cancelBtn = Button("CancelBtn", "キャンセル", this);
    connect(m_buttonBack, &QPushButton::clicked, this, [this] { ShowPage(CurrentPage() - 1); });
    connect(m_buttonForward, &QPushButton::clicked, this, [this] { ShowPage(CurrentPage() + 1); });
    connect(m_buttonCreate, &QPushButton::clicked, this,
            &TPagesDlgCreateOntology::ButtonCreateClick);
    connect(m_cancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_buttonBack);
    buttons->addWidget(m_buttonForward);
    buttons->addSpacing(12);
    buttons->addWidget(m_buttonCreate);
    buttons->addWidget(m_cancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);

    connect(m_target, &QLineEdit::textChanged, this, &TPagesDlgCreateOntology::LblEdtTargetChange);
    for (QWidget* field :
         {static_cast<QWidget*>(m_ontologyTitle), static_cast<QWidget*>(m_community),
          static_cast<QWidget*>(m_targetDescription)}) {
        field->installEventFilter(this);
    }

    // The designed size; the large font sizes get the room their texts need.
    setFixedSize(SizeForFont(QSize(kClientWidth, kClientHeight), font()));
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    ShowPage(0);
}

QWidget* TPagesDlgCreateOntology::CreateExplanationPage(const char* name, const char* upperPicture,
                                                        const char* lowerPicture,
                                                        const char* upperName,
                                                        const char* lowerName) {
    auto* page = new QWidget;
    page->setObjectName(name);
    page->setAutoFillBackground(true);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, kCream);
    page->setPalette(palette);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Picture(upperName, upperPicture, page));
    layout->addWidget(Picture(lowerName, lowerPicture, page));
    return page;
}

QWidget* TPagesDlgCreateOntology::CreateAboutPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet3");
    m_target = new QLineEdit(page);
    m_target->setObjectName("LblEdtTarget");
    m_ontologyTitle = new QLineEdit(page);
    m_ontologyTitle->setObjectName("LblEdtOntologyTitle");
    m_community = new QPlainTextEdit(page);
    m_community->setObjectName("MemoCommunity");
    m_targetDescription = new QPlainTextEdit(page);
    m_targetDescription->setObjectName("MemoTargetDescription");
    for (QPlainTextEdit* memo : {m_community, m_targetDescription}) {
        memo->setTabChangesFocus(true);  // Tab walks the dialog, as in the line edits
    }
    auto* note = new QLabel("（※全て後で修正できます.）", page);
    note->setAlignment(Qt::AlignRight);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Caption("対象とする事物(必須)", m_target, page));
    layout->addWidget(m_target);
    layout->addSpacing(6);
    layout->addWidget(Caption("作成するオントロジーの名称(必須)", m_ontologyTitle, page));
    layout->addWidget(m_ontologyTitle);
    layout->addSpacing(6);
    layout->addWidget(Caption("このオントロジーを共有するコミュニティ(必須)", m_community, page));
    layout->addWidget(m_community, 2);
    layout->addSpacing(6);
    layout->addWidget(Caption("このオントロジーの説明", m_targetDescription, page));
    layout->addWidget(m_targetDescription, 3);
    layout->addWidget(note);
    return page;
}

QWidget* TPagesDlgCreateOntology::CreateSubCategoryPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet4");
    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(10);
    for (int i = 0; i < kSubCategoryCount; ++i) {
        const QString number = QString::number(i + 1);
        auto* edit = new QLineEdit(page);
        edit->setObjectName("LblEdtSubCategory" + number);
        fields->addWidget(Caption("サブカテゴリ" + number + "：", edit, page), i, 0);
        fields->addWidget(edit, i, 1);
        m_subCategories[static_cast<std::size_t>(i)] = edit;
    }
    fields->setRowStretch(kSubCategoryCount, 1);

    auto* layout = new QHBoxLayout(page);
    layout->addLayout(fields, 1);
    layout->addSpacing(8);
    layout->addWidget(Picture("Image5", ":/wizard/image5.svg", page), 0, Qt::AlignTop);
    return page;
}

QString TPagesDlgCreateOntology::Target() const {
    return m_target->text();
}

QString TPagesDlgCreateOntology::OntologyTitle() const {
    return m_ontologyTitle->text();
}

QString TPagesDlgCreateOntology::Community() const {
    return m_community->toPlainText();
}

QString TPagesDlgCreateOntology::TargetDescription() const {
    return m_targetDescription->toPlainText();
}

QStringList TPagesDlgCreateOntology::SubCategories() const {
    QStringList texts;
    for (const QLineEdit* edit : m_subCategories) {
        texts.append(edit->text());
    }
    return texts;
}

int TPagesDlgCreateOntology::CurrentPage() const {
    return m_pages->currentIndex();
}

bool TPagesDlgCreateOntology::eventFilter(QObject* watched, QEvent* event) {
    if (IsTyping(event)) {
        if (watched == m_ontologyTitle) {
            m_titleTyped = true;
        } else if (watched == m_community) {
            m_communityTyped = true;
        } else if (watched == m_targetDescription) {
            m_descriptionTyped = true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TPagesDlgCreateOntology::ShowPage(int index) {
    if (index < 0 || index >= m_pages->count()) {
        return;
    }
    m_pages->setCurrentIndex(index);
    UpdatePageButtons();
    if (index == kAboutPage) {
        m_target->setFocus();
    } else if (index == kAboutPage + 1) {
        m_subCategories.front()->setFocus();
    }
}

void TPagesDlgCreateOntology::UpdatePageButtons() {
    const bool first = CurrentPage() == 0;
    const bool last = CurrentPage() == m_pages->count() - 1;
    m_buttonBack->setEnabled(!first);
    m_buttonForward->setEnabled(!last);
    m_buttonCreate->setEnabled(last);
    m_buttonForward->setDefault(!last);
    m_buttonCreate->setDefault(last);
}

void TPagesDlgCreateOntology::LblEdtTargetChange(const QString& target) {
    if (!m_titleTyped) {
        m_ontologyTitle->setText(target + "オントロジー");
    }
    if (!m_communityTyped) {
        m_community->setPlainText(target + "の専門家.");
    }
    if (!m_descriptionTyped) {
        m_targetDescription->setPlainText(target + "に関するオントロジー.");
    }
}

void TPagesDlgCreateOntology::ButtonCreateClick() {
    if (Target().isEmpty()) {
        RequireField(m_target, "「対象とする事物」が指定されていません.");
    } else if (OntologyTitle().isEmpty()) {
        RequireField(m_ontologyTitle, "「作成するオントロジーの名称」が指定されていません.");
    } else if (Community().isEmpty()) {
        RequireField(m_community,
                     "「このオントロジーを共有するコミュニティ」が指定されていません.");
    } else {
        accept();
    }
}

void TPagesDlgCreateOntology::RequireField(QWidget* field, const QString& message) {
    m_ui.Ask(store::TMessageKind::Error, store::TButtons::OkCancel, message);
    ShowPage(kAboutPage);
    field->setFocus();
}

}  // namespace velmora::app
