// TRelationPanel: one relation panel of the concept editor — the relation between the edited
// concept and a parent or child selected in a pane. It shows the relation's 32 px picture, a
// chooser of the ontology's link types (16 px pictures) and the link type's comment, and reports
// the user's choice through OnChosen; it changes no data itself.
//
// The panel lays itself out for the width it is given: max(comment height + 32, 56) pixels
// high, picture and chooser centred vertically, the comment as wide as the panel minus 270.
#pragma once

#include <QFrame>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;

namespace velmora::app {

class TRelationPanel : public QFrame {
    Q_OBJECT

public:
    struct TChoice {
        std::int32_t code = 0;
        QString title;
    };

    // names: the panel, its picture, its chooser and its comment label, as the editor calls them.
    TRelationPanel(const QString& panelName, const QString& imageName, const QString& chooserName,
                   const QString& commentName, QWidget* parent = nullptr);

    // Replaces the chooser's items (in order) and clears the shown relation.
    void SetChoices(const std::vector<TChoice>& choices);
    // Shows the relation of code with its comment; false when the chooser has no such item.
    bool ShowRelation(std::int32_t code, const QString& comment);
    void SetChooserEnabled(bool enabled);
    bool ChooserEnabled() const;
    QComboBox* Chooser() const { return m_chooser; }
    QLabel* Comment() const { return m_comment; }

    // Sets the width and the height that follows from it.
    void LayOut(int width);

    // The user picked a link type in the chooser.
    std::function<void(std::int32_t code)> OnChosen;

private:
    QLabel* m_image;
    QComboBox* m_chooser;
    QLabel* m_comment;
};

}  // namespace velmora::app
