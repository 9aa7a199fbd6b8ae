// TAboutBox: the version dialog of the help menu, showing the product name, its version and what
// it is. It has no state; the main window shows it modally and frees it.
#pragma once

#include <QDialog>

namespace velmora::app {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace velmora::app
