#include "view_ports.h"

namespace velmora::views {

TPlaceholderPane::TPlaceholderPane(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

}  // namespace velmora::views
