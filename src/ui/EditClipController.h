// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"
#include "model/OrderedWorker.h"

#include <QImage>
#include <QRect>
#include <QWidget>

#include <functional>
#include <optional>

class ClipStore;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QTextEdit;

// The window of one clip. Text and file clips open for editing (with their
// formatting when they have any, else as monospaced plain text; Ctrl+F
// finds), image clips open for viewing, scaled down to fit. In both the keep
// checkbox changes the clip's keep mark at once. Save replaces the clip's
// text; Cancel or Close drops the edits. Each request gets a new window.
class EditClipController : public QWidget
{
    Q_OBJECT
public:
    // `visibleFrame` is the work area of the screen the window opens on.
    EditClipController(
        const Clip &clip, ClipStore &store, const QRect &visibleFrame, QWidget *parent = nullptr);

    // Run once the window is closing, however it was closed.
    void setOnClose(std::function<void()> onClose) { m_onClose = std::move(onClose); }

    const Clip &clip() const { return m_clip; }
    bool isEditMode() const { return m_textView != nullptr; }
    bool isRichText() const;
    // An image is decoded on a worker after the window is laid out; true
    // once its pixels are in the view.
    bool isImageShown() const;
    QTextEdit *textView() const { return m_textView; }
    QCheckBox *keepCheckbox() const { return m_keep; }
    QLineEdit *findField() const { return m_findField; }

    // The content size of an image window on a screen with this work area:
    // the image at its size, at least 280 wide, shrunk to fit, plus margins.
    static QSize imageContentSize(const std::optional<QSize> &image, const QRect &visibleFrame);
    // Shrinks the window to the work area less a margin and centres it there.
    static void fitToVisibleScreen(QWidget &window, const QRect &visibleFrame);

    void keepChanged(bool on);
    void save();
    void cancel();
    void showFindBar();
    // Selects the next match of the find field's text after the cursor
    // (before it when `backward`), wrapping around; false when none.
    bool findNext(bool backward = false);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildTextView();
    QWidget *buildImageView(const QRect &visibleFrame);
    QWidget *buildFindBar();
    void escapePressed();

    Clip m_clip;
    ClipStore &m_store;
    class ImageView;
    ImageView *m_imageView = nullptr;
    OrderedWorker m_imageLoader;
    QTextEdit *m_textView = nullptr;
    QCheckBox *m_keep = nullptr;
    QWidget *m_findBar = nullptr;
    QLineEdit *m_findField = nullptr;
    std::function<void()> m_onClose;
};
