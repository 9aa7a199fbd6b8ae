#include "about_box.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "scripted_ui.h"

namespace velmora::app {
namespace {

TEST(AboutBox, ShowsTheProductAndClosesWithEitherButton) {
    for (const auto& [button, result] :
         {std::pair{"OKBtn", QDialog::Accepted}, std::pair{"CancelBtn", QDialog::Rejected}}) {
        TAboutBox box;
        EXPECT_EQ(box.windowTitle(), "バージョン情報");
        QStringList texts;
        for (const QLabel* label : box.findChildren<QLabel*>()) {
            texts.append(label->text());
        }
        for (const char* text : {"Velmora", "ver. 1.40", "(オントロジーオーサリングツール)"}) {
            EXPECT_TRUE(texts.contains(text)) << text;
        }
        testing::TScriptedUi ui;
        ui.modal = [&box, button = button](QDialog&) {
            box.findChild<QPushButton*>(button)->click();
            return -1;
        };
        EXPECT_EQ(ui.RunModal(box), result) << button;
    }
}

}  // namespace
}  // namespace velmora::app
