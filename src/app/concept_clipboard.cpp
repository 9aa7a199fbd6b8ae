#include "concept_clipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QMimeData>
#include <string>

#include "clipboard_payload.h"

namespace velmora::app {

namespace {

// splitmix64's finaliser: every input bit reaches every output bit.
std::uint64_t Mix(std::uint64_t x) {
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

}  // namespace

void TClipbrdConceptData::Write(bool isCopy, const store::TConceptList& entries) {
    WriteAs(InstanceNumber(), isCopy, entries);
}

void TClipbrdConceptData::WriteAs(std::uint32_t instance, bool isCopy,
                                  const store::TConceptList& entries) {
    const std::string text = WriteConceptPayload(instance, isCopy, entries);
    auto* data = new QMimeData;  // the clipboard takes it
    data->setData(kConceptClipboardMimeType,
                  QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    QGuiApplication::clipboard()->setMimeData(data);
}

std::unique_ptr<store::TConceptList> TClipbrdConceptData::Read(bool* isCopy) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasFormat(kConceptClipboardMimeType)) {
        return nullptr;
    }
    const QByteArray bytes = data->data(kConceptClipboardMimeType);
    return ReadConceptPayload(std::string_view(bytes.constData(), bytes.size()), InstanceNumber(),
                              isCopy);
}

void TClipbrdConceptData::Clear() {
    QGuiApplication::clipboard()->clear();
}

bool TClipbrdConceptData::HasPayload() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasFormat(kConceptClipboardMimeType);
}

std::uint32_t TClipbrdConceptData::InstanceNumber() {
    static const std::uint32_t number = [] {
        const auto pid = static_cast<std::uint64_t>(QCoreApplication::applicationPid());
        const auto now = static_cast<std::uint64_t>(QDateTime::currentMSecsSinceEpoch());
        return static_cast<std::uint32_t>(Mix(Mix(pid) ^ now) >> 32);
    }();
    return number;
}

}  // namespace velmora::app
