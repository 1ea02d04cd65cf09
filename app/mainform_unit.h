#pragma once

#include "platform/bitmap.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

namespace vornik {

class Clipboard;
class EmailList;

// Lifecycle state codes kept in the main window's Tag.
inline constexpr int kTagJustCreated = -888;
inline constexpr int kTagRunning = 0;
inline constexpr int kTagExitConfirmed = -999;

// Shows the exit confirmation box ("Confirm", question icon, "&Yes", "&No",
// "Cancel") and returns the answer: 6 for Yes, 7 for No, 2 for Cancel.
int askconfirm(const std::string& text);

// The main window: the hub that owns every other piece of the program and,
// while the screen tools are open, the full-screen tool window. Most of the
// time it is hidden and the program lives in the tray.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    TForm1();
    ~TForm1() override;

    // Shows the window once, as the message loop does at its start; the
    // window hides itself shortly after (see Timer1Timer).
    void showAtStartup();

    // Event handlers.
    void FormCreate();
    void FormActivate();
    void Timer1Timer();
    void FormDestroy();
    void menu_kilepesClick(QObject* sender);
    void oncopy();

    // Runs one collection pass over the clipboard's text.
    void collectionPass();

    // Fields.
    int Tag = 0;
    std::string toolmode;
    std::unique_ptr<Bitmap> screenshot;
    int mousex = 0, mousey = 0;
    int selx1 = 0, sely1 = 0, selx2 = 0, sely2 = 0;
    bool selecting = false;
    std::unique_ptr<EmailList> emaillist;
    bool ready = false;

    QTimer Timer1;

    Clipboard& clipboard() { return *m_clipboard; }
    // Whether collection is switched on (the check mark of "E-mail collect").
    bool collecting() const;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose(QCloseEvent* event);

    std::unique_ptr<Clipboard> m_clipboard;
    bool m_paintedSinceShown = false;
};

} // namespace vornik
