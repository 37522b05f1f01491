// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/EditClipController.h"

#include "model/ClipStore.h"
#include "pasteboard/ImageData.h"
#include "pasteboard/StyledText.h"
#include "ui/WidgetAccessible.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeySequence>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int editWidth = 520;
constexpr int editHeight = 380;
constexpr int minImageWindowWidth = 360;
constexpr int minImageWindowHeight = 260;
constexpr int margin = 16;
constexpr int barGap = 12;
constexpr int barSpacing = 8;
constexpr int minTextHeight = 240;

} // namespace

// Shows an image scaled down to the space it has, never enlarged.
class EditClipController::ImageView : public QWidget
{
public:
    ImageView() { setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored); }

    void setImage(QImage image)
    {
        m_image = std::move(image);
        m_shown = true;
        update();
    }
    bool isShown() const { return m_shown; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (m_image.isNull())
            return;
        const QSizeF natural = m_image.deviceIndependentSize();
        QSizeF shown = natural;
        if (shown.width() > width() || shown.height() > height())
            shown.scale(size(), Qt::KeepAspectRatio);
        const QRectF target(
            QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_image);
    }

private:
    QImage m_image;
    bool m_shown = false;
};

namespace {

// Pasting into a clip takes its text and formatting, not pictures: the
// clip's renderings could not carry them.
class ClipTextEdit : public QTextEdit
{
public:
    using QTextEdit::QTextEdit;

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override
    {
        return source->hasText() || source->hasHtml();
    }
    void insertFromMimeData(const QMimeData *source) override
    {
        if (!acceptRichText() || !source->hasHtml()) {
            insertPlainText(source->text());
            return;
        }
        QTextDocument pasted;
        pasted.setHtml(source->html());
        // Drop image objects, keep the rest.
        QString html = pasted.toHtml();
        static const QRegularExpression images(QStringLiteral("<img[^>]*>"));
        html.remove(images);
        textCursor().insertHtml(html);
    }
};

} // namespace

EditClipController::EditClipController(
    const Clip &clip, ClipStore &store, const QRect &visibleFrame, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | (clip.kind == ClipKind::image ? Qt::WindowMaximizeButtonHint : Qt::Widget))
    , m_clip(clip)
    , m_store(store)
{
    const bool viewMode = clip.kind == ClipKind::image;
    // Only the header is read here, for the window's size; the pixels are
    // decoded on a worker, never beyond what the screen can show.
    std::optional<QSize> natural;
    if (viewMode && clip.imageFilename) {
        const QString path = store.imagePath(clip);
        const QSize header = QImageReader(path).size();
        if (header.isValid())
            natural = header;
        const QSize fit = header.isValid() ? header.scaled(visibleFrame.size(), Qt::KeepAspectRatio)
                                           : visibleFrame.size();
        m_imageLoader.submit([this, path, fit, header]() -> OrderedWorker::Finish {
            QImage image = ImageData::thumbnail(path, fit.expandedTo(QSize(1, 1)));
            return [this, image = std::move(image), header]() mutable {
                // Shown at its own size in points, though decoded smaller.
                if (!image.isNull() && header.isValid() && header.width() > image.width())
                    image.setDevicePixelRatio(qreal(image.width()) / qreal(header.width()));
                m_imageView->setImage(std::move(image));
            };
        });
    }

    installAccessibleFactories();
    setWindowTitle(qtTrId(viewMode ? "edit.imageTitle" : "edit.textTitle"));
    auto *content = new QVBoxLayout(this);
    content->setContentsMargins(margin, margin, margin, margin);
    content->setSpacing(barGap);
    content->addWidget(viewMode ? buildImageView(visibleFrame) : buildTextView(), 1);
    if (!viewMode)
        content->addWidget(buildFindBar());

    auto *bar = new QHBoxLayout;
    bar->setSpacing(barSpacing);
    m_keep = new QCheckBox(qtTrId("clip.keep"));
    m_keep->setToolTip(qtTrId("clip.keep.tooltip"));
    m_keep->setChecked(clip.isKept);
    connect(m_keep, &QCheckBox::clicked, this, &EditClipController::keepChanged);
    bar->addWidget(m_keep);
    bar->addStretch(1);
    if (viewMode) {
        auto *close = new QPushButton(qtTrId("edit.close"));
        connect(close, &QPushButton::clicked, this, &EditClipController::cancel);
        close->setDefault(true);
        bar->addWidget(close);
    } else {
        auto *cancelButton = new QPushButton(qtTrId("edit.cancel"));
        connect(cancelButton, &QPushButton::clicked, this, &EditClipController::cancel);
        auto *saveButton = new QPushButton(qtTrId("edit.save"));
        connect(saveButton, &QPushButton::clicked, this, &EditClipController::save);
        saveButton->setDefault(true);
        saveButton->setToolTip(
            QKeySequence(Qt::CTRL | Qt::Key_Return).toString(QKeySequence::NativeText));
        bar->addWidget(cancelButton);
        bar->addWidget(saveButton);
        // Return writes a new line in the text; Ctrl+Return saves from anywhere.
        for (const QKeySequence &keys :
            { QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter) })
            connect(
                new QShortcut(keys, this), &QShortcut::activated, this, &EditClipController::save);
        connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this,
            &EditClipController::showFindBar);
    }
    content->addLayout(bar);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
        &EditClipController::escapePressed);

    if (viewMode) {
        resize(imageContentSize(natural, visibleFrame));
        setMinimumSize(minImageWindowWidth, minImageWindowHeight);
        setMaximumSize(std::max(visibleFrame.width() - 48, minImageWindowWidth),
            std::max(visibleFrame.height() - 24, minImageWindowHeight));
    } else {
        setFixedSize(editWidth, editHeight);
    }
}

QWidget *EditClipController::buildTextView()
{
    m_textView = new ClipTextEdit;
    m_textView->setAccessibleName(qtTrId("edit.text.name"));
    m_textView->setMinimumHeight(minTextHeight);
    m_textView->setLineWrapMode(QTextEdit::WidgetWidth);
    m_textView->document()->setDocumentMargin(6);
    if (std::unique_ptr<QTextDocument> styled = StyledText::attributedText(m_clip)) {
        m_textView->setAcceptRichText(true);
        QTextDocument *document = styled->clone(m_textView);
        document->setDocumentMargin(6);
        m_textView->setDocument(document);
    } else {
        m_textView->setAcceptRichText(false);
        m_textView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        m_textView->setPlainText(m_clip.text.value_or(m_clip.preview));
    }
    return m_textView;
}

QWidget *EditClipController::buildImageView(const QRect &)
{
    m_imageView = new ImageView;
    m_imageView->setObjectName(QStringLiteral("imageView"));
    m_imageView->setAccessibleName(qtTrId("clip.kind.image"));
    return m_imageView;
}

bool EditClipController::isImageShown() const
{
    return m_imageView && m_imageView->isShown();
}

QWidget *EditClipController::buildFindBar()
{
    m_findBar = new QWidget;
    auto *row = new QHBoxLayout(m_findBar);
    row->setContentsMargins(0, 0, 0, 0);
    m_findField = new QLineEdit;
    m_findField->setPlaceholderText(qtTrId("edit.find"));
    m_findField->setAccessibleName(qtTrId("edit.find"));
    m_findField->setClearButtonEnabled(true);
    row->addWidget(m_findField);
    connect(m_findField, &QLineEdit::returnPressed, this,
        [this] { findNext(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)); });
    connect(m_findField, &QLineEdit::textEdited, this, [this] {
        // Searching as one types starts again from the top.
        QTextCursor cursor = m_textView->textCursor();
        cursor.setPosition(cursor.selectionStart());
        m_textView->setTextCursor(cursor);
        findNext();
    });
    m_findBar->hide();
    return m_findBar;
}

bool EditClipController::isRichText() const
{
    return m_textView && m_textView->acceptRichText();
}

void EditClipController::showFindBar()
{
    if (!m_findBar)
        return;
    m_findBar->show();
    m_findField->setFocus(Qt::ShortcutFocusReason);
    m_findField->selectAll();
}

bool EditClipController::findNext(bool backward)
{
    if (!m_textView || m_findField->text().isEmpty())
        return false;
    const QTextDocument::FindFlags flags
        = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (m_textView->find(m_findField->text(), flags))
        return true;
    // Wrap around once.
    QTextCursor cursor = m_textView->textCursor();
    cursor.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    m_textView->setTextCursor(cursor);
    return m_textView->find(m_findField->text(), flags);
}

void EditClipController::escapePressed()
{
    // Escape first closes the find bar, then the window.
    if (m_findBar && m_findBar->isVisible()) {
        m_findBar->hide();
        m_textView->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    cancel();
}

void EditClipController::keepChanged(bool on)
{
    m_store.setKept(m_clip.id, on);
}

void EditClipController::save()
{
    if (!m_textView) {
        close();
        return;
    }
    const QTextDocument &document = *m_textView->document();
    const QString text = StyledText::plainText(document);
    std::optional<QByteArray> rtf;
    std::optional<QByteArray> html;
    if (isRichText() && !document.isEmpty()) {
        rtf = StyledText::rtfData(document);
        html = StyledText::htmlData(document);
    }
    m_store.updateText(m_clip.id, text, rtf, html);
    close();
}

void EditClipController::cancel()
{
    close();
}

void EditClipController::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (m_onClose)
        m_onClose();
}

QSize EditClipController::imageContentSize(
    const std::optional<QSize> &image, const QRect &visibleFrame)
{
    const double maxWidth = std::max(visibleFrame.width() - 64.0, 360.0);
    const double maxHeight = std::max(visibleFrame.height() - 100.0, 260.0);
    const double availableWidth = maxWidth - 32;
    const double availableHeight = std::max(maxHeight - 52 - 32, 160.0);
    double naturalWidth = 480;
    double aspect = 2.0 / 3.0;
    if (image) {
        naturalWidth = image->width() > 0 ? image->width() : 0;
        aspect = image->width() > 0 ? double(image->height()) / image->width() : 0.75;
    }
    const auto fitWidth = [availableWidth](double wanted) {
        return wanted < 280 ? std::min(280.0, availableWidth) : std::min(wanted, availableWidth);
    };
    double width = fitWidth(naturalWidth);
    double height = aspect * width;
    if (height > availableHeight) {
        height = availableHeight;
        width = fitWidth(aspect > 0 ? availableHeight / aspect : availableWidth);
    }
    return QSize(int(std::ceil(width + 32)), int(std::ceil(height + 52 + 32)));
}

void EditClipController::fitToVisibleScreen(QWidget &window, const QRect &visibleFrame)
{
    const QSize size(std::min(window.width(), visibleFrame.width() - 48),
        std::min(window.height(), visibleFrame.height() - 24));
    window.resize(size);
    QRect frame(QPoint(), window.frameGeometry().size());
    frame.moveCenter(visibleFrame.center());
    window.move(frame.topLeft());
}
