#pragma once

#include <QFileDialog>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>


class QLabel;
class QToolButton;
class QWidget;

namespace vornik {

class PicturePreviewArea;

// The "|"-joined description and mask pairs of a filter text, as Qt's file
// dialog wants them: one entry per pair, "description (pattern pattern ...)".
// Qt takes the patterns from the last parenthesised group of an entry and
// splits them at blanks, so a mask list written with ";" (as in
// "All (*.jpg;*.jpeg)") would reach it as one pattern that matches nothing.
// The description is therefore kept up to its trailing "(mask)" group, and
// that group is rewritten with the mask's patterns separated by blanks; a
// description that does not end in its mask gets the patterns appended.
QStringList qtNameFilters(const std::string& filter);

// A modal save dialog with a picture preview pane on its right: Qt's own
// (non-native) file dialog extended by a label, a preview button and a
// picture area. Between runs it keeps the chosen name and filter, which the
// next run offers again. Texts are in the locale's encoding.
class TSavePictureDialog : public QObject {
    Q_OBJECT
public:
    explicit TSavePictureDialog(QWidget* owner = nullptr);
    ~TSavePictureDialog() override;

    // The extension given to a name typed without one, written as "*.jpg".
    const std::string& DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const std::string& defaultExt) { m_defaultExt = defaultExt; }

    // "description|mask|description|mask..." pairs.
    const std::string& Filter() const { return m_filter; }
    void setFilter(const std::string& filter) { m_filter = filter; }

    // 1-based index of the pair shown first; after a run the one last chosen.
    int FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(int filterIndex) { m_filterIndex = filterIndex; }

    // The full name chosen in the last completed run, offered by the next.
    const std::string& FileName() const { return m_fileName; }
    void setFileName(const std::string& fileName) { m_fileName = fileName; }

    // The window the dialog belongs to when it shows, if any: the window
    // manager keeps the dialog over it, also over a full-screen window.
    void setShownOver(QWidget* window) { m_shownOver = window; }

    // Shows the dialog modally; true when the user accepted a name.
    bool Execute();

    // The Qt dialog behind it, set up as Execute shows it; for tests.
    QFileDialog* dialog() const { return m_dialog; }
    // Shows the picture held by `path` in the preview pane, or "(None)".
    void showPreviewOf(const QString& path);
    // The picture the pane shows; null while it shows "(None)".
    const QImage& previewPicture() const { return m_picture; }
    // Opens the modal "Preview" window for the picture shown in the pane.
    void openPreviewWindow();

private:
    void buildPreviewPane();
    void applySettings();

    std::string m_defaultExt;
    std::string m_filter;
    int m_filterIndex = 1;
    std::string m_fileName;

    // Owned by the owner widget when there is one, else by this object.
    QPointer<QFileDialog> m_dialog;
    QPointer<QWidget> m_shownOver;
    QLabel* m_pictureLabel = nullptr;
    QToolButton* m_previewButton = nullptr;
    PicturePreviewArea* m_pictureArea = nullptr;
    QImage m_picture;
};

} // namespace vornik
