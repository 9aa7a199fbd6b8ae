#include "qt_text.h"

#include "code_page.h"

namespace velmora::views {

QString FromCp932(std::string_view cp932) {
    return FromUtf8(store::Cp932ToUtf8(cp932));
}

std::string ToCp932(const QString& text, int* unconvertible) {
    return store::Utf8ToCp932(ToUtf8(text), unconvertible);
}

}  // namespace velmora::views
