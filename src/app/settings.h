// The program's settings: a small per-user INI file with the sections USER and SYSTEM.
//
// TQuillonIniFile names one file and keeps nothing of it in memory: every getter reads the file
// and every setter rewrites it at once, so two running instances share it and the last writer
// wins per key. The getters apply the defaults; the four window getters also check the stored
// geometry against the screen's work area and answer kUnset for a window that would not be seen.
// A setter that cannot write raises ESettingsWriteError and leaves the file as it was.
// UI thread only.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

#include "errors.h"

namespace velmora::app {

// A setting could not be written; the message is "<path> に書き込めません".
class ESettingsWriteError : public store::EVelmoraError {
public:
    explicit ESettingsWriteError(const QString& path);
};

// Points of a font-size code 1..5 (8, 9, 12, 16, 20); std::nullopt for any other code.
std::optional<int> FontSizePoints(int code);
// A dialog's size designed for the standard 9 points, grown in proportion for a larger font so
// that its texts keep their room; never smaller than designed.
QSize SizeForFont(QSize designed, const QFont& font);

class TQuillonIniFile {
public:
    // The "no value" of the window geometry.
    static constexpr int kUnset = -100000;

    // path need not exist yet (a first start); its folder is created on the first write.
    // The work area is the screen's available geometry unless given (tests).
    explicit TQuillonIniFile(QString path, std::function<QRect()> workArea = {});

    // Per user: the generic XDG config folder + "/velmora/velmora.ini".
    static QString DefaultPath();

    const QString& Path() const { return m_path; }

    // USER
    QString Author() const;
    void SetAuthor(const QString& author);
    int FontSize() const;  // a code, normally 1..5; other stored codes are returned as they are
    void SetFontSize(int code);
    bool ParentViewSmallIcon() const;
    void SetParentViewSmallIcon(bool small);
    bool WorkspaceSmallIcon() const;
    void SetWorkspaceSmallIcon(bool small);

    // SYSTEM
    bool UseVariousLink() const;
    void SetUseVariousLink(bool use);
    // Seconds from a change to its recovery copy: 1..60; anything else reads as 60, so that
    // no setting can make the copies rarer than once a minute.
    static constexpr int kMaxRecoveryInterval = 60;
    int RecoveryInterval() const;
    void SetRecoveryInterval(int seconds);
    int VerticalSplitter() const;
    bool HasVerticalSplitter() const;  // false until a width was stored (a first start)
    void SetVerticalSplitter(int pixels);
    int HorizonalSplitter1() const;
    void SetHorizonalSplitter1(int pixels);
    int HorizonalSplitter2() const;
    void SetHorizonalSplitter2(int pixels);

    // Validated against the work area; kUnset when stored so that the window would be off
    // screen, implausibly sized, or not stored at all.
    int WindowPosX() const;
    int WindowPosY() const;
    int WindowSizeX() const;
    int WindowSizeY() const;
    void SetWindowPosX(int x);
    void SetWindowPosY(int y);
    void SetWindowSizeX(int width);
    void SetWindowSizeY(int height);

private:
    QString ReadText(const char* section, const char* key, const QString& fallback) const;
    int ReadInt(const char* section, const char* key, int fallback) const;
    bool ReadBool(const char* section, const char* key, bool fallback) const;
    void WriteText(const char* section, const char* key, const QString& value);
    void WriteInt(const char* section, const char* key, int value);
    QRect WorkArea() const;

    QString m_path;
    std::function<QRect()> m_workArea;
};

}  // namespace velmora::app
