// TPagesDlgCreateOntology: the four-page wizard of a new ontology. Two pages explain what an
// ontology is, the third names its target, title, community and description, the fourth lists up
// to seven first-level subcategories. The wizard only collects text: it accepts once the three
// required fields are filled, and the main window reads the fields afterwards and builds the
// ontology. Until the user types into the title, community or description, each of them follows
// the target text. One instance per use; UI thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace velmora::app {

class TUserInterface;

class TPagesDlgCreateOntology : public QDialog {
    Q_OBJECT

public:
    static constexpr int kSubCategoryCount = 7;

    // ui shows the missing-field messages; it must outlive the dialog.
    explicit TPagesDlgCreateOntology(TUserInterface& ui, QWidget* parent = nullptr);

    QString Target() const;             // LblEdtTarget
    QString OntologyTitle() const;      // LblEdtOntologyTitle
    QString Community() const;          // MemoCommunity
    QString TargetDescription() const;  // MemoTargetDescription
    // The texts of LblEdtSubCategory1..7 in this order, empty ones included.
    QStringList SubCategories() const;
    int CurrentPage() const;  // 0..3

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* CreateExplanationPage(const char* name, const char* upperPicture,
                                   const char* lowerPicture, const char* upperName,
                                   const char* lowerName);
    QWidget* CreateAboutPage();
    QWidget* CreateSubCategoryPage();

    void ShowPage(int index);
    void UpdatePageButtons();
    void LblEdtTargetChange(const QString& target);
    void ButtonCreateClick();
    // Shows the message of a missing field, then puts the user on page 3 in that field.
    void RequireField(QWidget* field, const QString& message);

    TUserInterface& m_ui;
    QTabWidget* m_pages = nullptr;
    QLineEdit* m_target = nullptr;
    QLineEdit* m_ontologyTitle = nullptr;
    QPlainTextEdit* m_community = nullptr;
    QPlainTextEdit* m_targetDescription = nullptr;
    std::array<QLineEdit*, kSubCategoryCount> m_subCategories{};
    QPushButton* m_buttonBack = nullptr;
    QPushButton* m_buttonForward = nullptr;
    QPushButton* m_buttonCreate = nullptr;
    QPushButton* m_cancelBtn = nullptr;
    // Typed-in marks: once the user has typed into a field, the target no longer rewrites it.
    bool m_titleTyped = false;
    bool m_communityTyped = false;
    bool m_descriptionTyped = false;
};

}  // namespace velmora::app
