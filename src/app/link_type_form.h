// TFormLinkType: the relation picker ("鏡像の「関係」"). It lists the ontology's link types —
// running number, label, and comment on one line — and returns the code the user picks for a
// mirror image. Made for one use; SelectLinkCode pre-selects the mirror image's code.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "data_module.h"

class QTreeWidget;

namespace velmora::app {

// One row of the picker, as the link-type table gives it (text UTF-8).
struct TLinkTypeRowView {
    std::int32_t code = 0;
    QString title;
    QString comment;  // its line breaks (CR LF, CR, LF) each shown as one space
};

// The rows of the link-type table in table order.
std::vector<TLinkTypeRowView> LinkTypeRows(store::TDataModule1& store);

class TFormLinkType : public QDialog {
    Q_OBJECT

public:
    TFormLinkType(const std::vector<TLinkTypeRowView>& rows, QWidget* parent = nullptr);

    // Selects the row of code and makes it the chosen code; without such a row the selection
    // is cleared, the chosen code becomes -1 and "指定された概念の関係が見つかりません." is raised.
    void SelectLinkCode(std::int32_t code);
    std::int32_t ChosenCode() const { return m_chosen; }
    QTreeWidget* ListView1() const { return m_list; }

private:
    QTreeWidget* m_list;
    std::int32_t m_chosen = -1;
};

}  // namespace velmora::app
