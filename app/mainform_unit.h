#pragma once

#include "platform/bitmap.h"
#include "platform/qt/savepicturedialog.h"
#include "screentools/infopanel.h"
#include "screentools/overlay.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QLabel;

namespace vornik {

class Clipboard;
class EmailList;
class PictureBox;
class PointerAids;
class SpacingRulerTool;
class TAgg2D;
class TGradientPanel;
class TLabeledEdit;
class TMenuItem;
class TStyledPopupMenu;
class TTrayIcon;
class TrayMenuAdapter;

// Lifecycle state codes kept in the main window's Tag.
inline constexpr int kTagJustCreated = -888;
inline constexpr int kTagRunning = 0;
inline constexpr int kTagExitConfirmed = -999;

// Virtual-key codes of the tool window's commands.
inline constexpr int VK_ESCAPE = 27;
inline constexpr int VK_F2 = 113;
inline constexpr int VK_F3 = 114;
inline constexpr int VK_F4 = 115;
inline constexpr int VK_F5 = 116;
inline constexpr int VK_F6 = 117;
inline constexpr int VK_F7 = 118;
inline constexpr int VK_PRIOR = 33; // Page Up
inline constexpr int VK_NEXT = 34;  // Page Down
inline constexpr int VK_LEFT = 37;
inline constexpr int VK_UP = 38;
inline constexpr int VK_RIGHT = 39;
inline constexpr int VK_DOWN = 40;

// The virtual-key code of a Qt key, or 0 for keys the program has no use for.
int virtualKeyOf(int qtKey);

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
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    void menu_kilepesClick(QObject* sender);
    void Colorpickersizecuttools1Click(QObject* sender);
    void trayiconDblClick(QObject* sender);
    void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y);
    void Image1MouseMove(Qt::KeyboardModifiers shift, int X, int Y);
    void Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y);
    void oncopy();
    // A move of the pointer as the picture box reports it. Moves that come
    // closer together than the screen's refresh are shown once, at the
    // latest of them, when the next frame is due; a press, a release, a key
    // and a direct move show a move still waiting first.
    void pointerMoved(int X, int Y);
    void showWaitingMove();

    // Runs one collection pass over the clipboard's text.
    void collectionPass();
    // Redraws the overlay over the capture and repaints what changed.
    void drawit();
    // Saves the selected area (F5); closes the tool window when saved.
    void exportArea();

    // Fields.
    int Tag = 0;
    std::string toolmode;
    std::unique_ptr<Bitmap> screenshot;
    int mousex = 0, mousey = 0;
    int selx1 = 0, sely1 = 0, selx2 = 0, sely2 = 0;
    bool selecting = false;
    std::unique_ptr<TAgg2D> agg;
    std::unique_ptr<EmailList> emaillist;
    bool ready = false;

    // Components.
    PictureBox* Image1 = nullptr;
    TGradientPanel* GradientPanel1 = nullptr;
    TLabeledEdit* mousexy = nullptr;
    TLabeledEdit* pixelcolor = nullptr;
    TLabeledEdit* rectangle = nullptr;
    QLabel* Label1 = nullptr;
    std::unique_ptr<TStyledPopupMenu> popup;
    TMenuItem* menu_emailcollect = nullptr;
    TMenuItem* Colorpickersizecuttools1 = nullptr;
    TMenuItem* menu_vege = nullptr;
    TMenuItem* menu_kilepes = nullptr;
    std::unique_ptr<TTrayIcon> trayicon;
    QTimer Timer1;
    QTimer m_moveTimer;
    QElapsedTimer m_sinceFrame;
    std::optional<std::pair<int, int>> m_waitingMove;
    TSavePictureDialog SavePictureDialog1;

    Clipboard& clipboard() { return *m_clipboard; }
    // Whether collection is switched on (the check mark of "E-mail collect").
    bool collecting() const;
    // The arrow keys and the loupe (F6).
    PointerAids& aids() { return *m_aids; }
    // The spacing ruler (F7) and its tolerance (Page Up, Page Down).
    SpacingRulerTool& ruler() { return *m_ruler; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormClose(QCloseEvent* event);
    void copyReadout(const TLabeledEdit* box);
    // Shift+F3 and Alt+F3: the colour readout as rgb() or hsl().
    void copyColour(Qt::KeyboardModifiers shift);
    void toggleRuler();
    void changeTolerance(int delta);
    // Measures the ruler at the point and, while it is shown, puts its spans
    // in the size readout.
    void measureRuler();
    void releaseScreenSizedBuffers();
    void prepareWindowImage();
    void keepFullScreen();

    std::unique_ptr<Clipboard> m_clipboard;
    std::unique_ptr<TrayMenuAdapter> m_trayMenu;
    OverlayRenderer m_overlay;
    // The overlay state the tool window's pixels show where the picture box
    // draws them itself; none right after opening (the plain capture).
    std::optional<OverlayState> m_shownOverlay;
    bool m_exposedSinceShown = false;
    // The window was shown full screen, as it always is: what the window
    // manager is asked for again, whatever state Qt has taken over from it
    // since.
    bool m_shownFullScreen = false;
    std::unique_ptr<PointerAids> m_aids;
    std::unique_ptr<SpacingRulerTool> m_ruler;
    // Set while a capture for the tool window is under way.
    bool m_capturing = false;
    // Set by VORNIK_FULL_REDRAW in the environment at start: every move
    // redraws and repaints the whole overlay, so that benchmarks can measure
    // the incremental drawing against it in the same program.
    const bool m_fullRedraw = qEnvironmentVariableIsSet("VORNIK_FULL_REDRAW");
};

} // namespace vornik
