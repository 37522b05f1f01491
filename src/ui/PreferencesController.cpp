// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PreferencesController.h"

#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/RecorderField.h"
#include "globalhotkeys/StandardNames.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "ui/LoginItem.h"
#include "ui/ShortcutOwnerNote.h"
#include "ui/WidgetAccessible.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

struct Option
{
    const char *title;
    qint64 value;
};

constexpr std::array<Option, 5> ageOptions = { {
    { QT_TRID_NOOP("prefs.age.unlimited"), 0 },
    { QT_TRID_NOOP("prefs.age.hour"), 1 },
    { QT_TRID_NOOP("prefs.age.day"), 24 },
    { QT_TRID_NOOP("prefs.age.week"), 168 },
    { QT_TRID_NOOP("prefs.age.month"), 720 },
} };
// Shown when the stored age is none of the above.
constexpr int ageFallback = 3;

constexpr std::array<Option, 5> clipSizeOptions = { {
    { QT_TRID_NOOP("prefs.size.1mb"), 1048576 },
    { QT_TRID_NOOP("prefs.size.5mb"), 5242880 },
    { QT_TRID_NOOP("prefs.size.10mb"), 10485760 },
    { QT_TRID_NOOP("prefs.size.25mb"), 26214400 },
    { QT_TRID_NOOP("prefs.size.50mb"), 52428800 },
} };

constexpr std::array<Option, 4> totalSizeOptions = { {
    { QT_TRID_NOOP("prefs.size.unlimited"), 0 },
    { QT_TRID_NOOP("prefs.size.50mb"), 52428800 },
    { QT_TRID_NOOP("prefs.size.100mb"), 104857600 },
    { QT_TRID_NOOP("prefs.size.200mb"), 209715200 },
} };

// In the order of the anchors.
constexpr std::array<const char *, 8> anchorTitles = {
    QT_TRID_NOOP("prefs.anchor.topLeft"),
    QT_TRID_NOOP("prefs.anchor.top"),
    QT_TRID_NOOP("prefs.anchor.topRight"),
    QT_TRID_NOOP("prefs.anchor.left"),
    QT_TRID_NOOP("prefs.anchor.right"),
    QT_TRID_NOOP("prefs.anchor.bottomLeft"),
    QT_TRID_NOOP("prefs.anchor.bottom"),
    QT_TRID_NOOP("prefs.anchor.bottomRight"),
};

constexpr int controlWidth = 168;
constexpr int margin = 20;
constexpr int sectionGap = 8;
// What a window manager's title bar and frame take, at most, above a window.
constexpr int titleBarRoom = 40;
constexpr int maxClipCount = 10000;

template<size_t N>
QComboBox *popup(const std::array<Option, N> &options, qint64 current, int fallback)
{
    auto *box = new QComboBox;
    for (const Option &option : options)
        box->addItem(qtTrId(option.title), option.value);
    const int index = box->findData(current);
    box->setCurrentIndex(index >= 0 ? index : fallback);
    return box;
}

// A row's label as the name of what it sets: "Open history" for "Open history:".
QString withoutColon(QString label)
{
    static const QRegularExpression trailingColon(QStringLiteral("\\s*:\\s*$"));
    return label.remove(trailingColon);
}

// The value the item at `index` carries, if there is such an item.
std::optional<qint64> itemValue(const QComboBox *box, int index)
{
    if (index < 0 || index >= box->count())
        return std::nullopt;
    return box->itemData(index).toLongLong();
}

} // namespace

PreferencesController::PreferencesController(Settings &settings, const ClipStore &store,
    GlobalHotkeys::NamedShortcuts &shortcuts, LoginItem &loginItem, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_settings(settings)
    , m_store(store)
    , m_loginItem(loginItem)
{
    installAccessibleFactories();
    setWindowTitle(qtTrId("prefs.title"));
    // The rows are as big as they need; the window shows them whole where
    // the screen has the room, and scrolls them where it has not.
    m_content = new QWidget;
    m_rows = new QVBoxLayout(m_content);
    m_rows->setSpacing(spacing);
    m_rows->setContentsMargins(margin, margin, margin, margin);
    m_rows->setSizeConstraint(QLayout::SetFixedSize);
    auto *scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(m_content);
    auto *window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->addWidget(scroll);

    addSection(qtTrId("prefs.section.limits"));
    m_agePopup = popup(ageOptions, settings.maxAgeHours(), ageFallback);
    connect(m_agePopup, &QComboBox::activated, this, &PreferencesController::ageChanged);
    addRow(qtTrId("prefs.maxAge"), m_agePopup);

    m_countField = new QSpinBox;
    m_countField->setRange(1, maxClipCount);
    m_countField->setAlignment(Qt::AlignRight);
    // Out-of-range numbers become the nearest allowed one, and the value is
    // taken once the user is done typing.
    m_countField->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    m_countField->setKeyboardTracking(false);
    m_countField->setValue(int(std::clamp<qint64>(settings.maxClipCount(), 1, maxClipCount)));
    connect(
        m_countField, &QSpinBox::valueChanged, this, [this](int value) { countChanged(value); });
    addRow(qtTrId("prefs.maxCount"), m_countField);

    m_clipSizePopup = popup(clipSizeOptions, settings.maxClipBytes(), 0);
    connect(m_clipSizePopup, &QComboBox::activated, this, &PreferencesController::clipSizeChanged);
    addRow(qtTrId("prefs.maxClipSize"), m_clipSizePopup);

    m_totalSizePopup = popup(totalSizeOptions, settings.maxTotalBytes(), 0);
    connect(
        m_totalSizePopup, &QComboBox::activated, this, &PreferencesController::totalSizeChanged);
    addRow(qtTrId("prefs.maxTotalSize"), m_totalSizePopup);

    addSection(qtTrId("prefs.section.window"));
    m_positionPopup = new QComboBox;
    const QList<PanelAnchor> anchors = allPanelAnchors();
    for (qsizetype i = 0; i < anchors.size(); ++i)
        m_positionPopup->addItem(
            qtTrId(anchorTitles.at(size_t(i))), panelAnchorRawValue(anchors[i]));
    m_positionPopup->setCurrentIndex(int(anchors.indexOf(settings.panelAnchor())));
    connect(m_positionPopup, &QComboBox::activated, this, &PreferencesController::anchorChanged);
    addRow(qtTrId("prefs.position"), m_positionPopup);

    m_alwaysVisible = addCheckboxRow(qtTrId("prefs.alwaysVisible"));
    m_alwaysVisible->setChecked(settings.alwaysVisible());
    connect(
        m_alwaysVisible, &QCheckBox::clicked, this, &PreferencesController::alwaysVisibleChanged);

    addSection(qtTrId("prefs.section.general"));
    const GlobalHotkeys::Name panel = GlobalHotkeys::StandardNames::togglePanel();
    const GlobalHotkeys::Name pinned = GlobalHotkeys::StandardNames::togglePinnedPanel();
    m_panelRecorder = new GlobalHotkeys::RecorderField(shortcuts, panel);
    addRow(qtTrId("prefs.hotkey"), m_panelRecorder);
    m_pinnedRecorder = new GlobalHotkeys::RecorderField(shortcuts, pinned);
    addRow(qtTrId("prefs.hotkey.pinned"), m_pinnedRecorder);
    // Either shortcut is refused for the other, named as its label names it.
    const QList<GlobalHotkeys::RecorderField::OtherName> names
        = { { panel, withoutColon(qtTrId("prefs.hotkey")) },
              { pinned, withoutColon(qtTrId("prefs.hotkey.pinned")) } };
    m_panelRecorder->setOtherNames(names);
    m_pinnedRecorder->setOtherNames(names);
    addRow(QString(), new ShortcutOwnerNote(shortcuts.registrar()));

    m_keepClipboardAlive = addCheckboxRow(qtTrId("prefs.keepClipboard"));
    m_keepClipboardAlive->setChecked(settings.keepClipboardAlive());
    connect(m_keepClipboardAlive, &QCheckBox::clicked, this,
        &PreferencesController::keepClipboardAliveChanged);

    m_pasteAfterChoosing = addCheckboxRow(qtTrId("prefs.pasteAfterChoosing"));
    m_pasteAfterChoosing->setChecked(settings.pasteAfterChoosing());
    connect(m_pasteAfterChoosing, &QCheckBox::clicked, this,
        &PreferencesController::pasteAfterChoosingChanged);
    m_pasteUnavailable = new QLabel;
    m_pasteUnavailable->setWordWrap(true);
    m_pasteUnavailable->hide();
    addRow(QString(), m_pasteUnavailable);

    m_launchAtLogin = addCheckboxRow(qtTrId("prefs.launchAtLogin"));
    connect(
        m_launchAtLogin, &QCheckBox::clicked, this, &PreferencesController::launchAtLoginChanged);
    m_rows->addStretch(1);
    refreshLaunchAtLogin();

    // The keys that close a window without a Close button, Ctrl+W whatever
    // the desktop's key scheme. A recorder that is recording takes every
    // key first, these among them.
    QList<QKeySequence> closeKeys { QKeySequence(Qt::Key_Escape),
        QKeySequence(Qt::CTRL | Qt::Key_W) };
    for (const QKeySequence &keys : QKeySequence::keyBindings(QKeySequence::Close)) {
        if (!closeKeys.contains(keys))
            closeKeys << keys;
    }
    auto *close = new QShortcut(this);
    close->setKeys(closeKeys);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void PreferencesController::addSection(const QString &title)
{
    if (m_rows->count() > 0)
        m_rows->addSpacing(sectionGap);
    auto *label = new QLabel(title);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    m_rows->addWidget(label);
}

void PreferencesController::addSection(const QString &title, QWidget *content)
{
    addSection(title);
    m_rows->addWidget(content);
}

void PreferencesController::addRow(const QString &title, QWidget *control)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(spacing);
    // A row without a title is only its control, so that it takes no room
    // while the control is hidden.
    if (title.isEmpty()) {
        row->addSpacing(labelWidth);
    } else {
        auto *label = new QLabel(title);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setFixedWidth(labelWidth);
        label->setBuddy(control);
        row->addWidget(label);
    }
    control->setFixedWidth(controlWidth);
    row->addWidget(control);
    row->addStretch(1);
    m_rows->addLayout(row);
}

QCheckBox *PreferencesController::addCheckboxRow(const QString &title)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(spacing);
    row->addSpacing(labelWidth);
    auto *checkbox = new QCheckBox(title);
    row->addWidget(checkbox);
    row->addStretch(1);
    m_rows->addLayout(row);
    return checkbox;
}

void PreferencesController::ageChanged(int index)
{
    m_settings.setMaxAgeHours(itemValue(m_agePopup, index).value_or(0));
}

void PreferencesController::countChanged(qint64 count)
{
    count = std::max<qint64>(count, 1);
    // A lower limit removes clips at once, and for good: a typing slip must
    // not cost the history, so the user is asked first.
    const qsizetype removed = count < m_settings.maxClipCount() ? m_store.clipsOverCount(count) : 0;
    if (removed == 0 || confirmRemoval(count, removed))
        m_settings.setMaxClipCount(count);
    const QSignalBlocker blocker(m_countField);
    m_countField->setValue(int(std::clamp<qint64>(m_settings.maxClipCount(), 1, maxClipCount)));
}

bool PreferencesController::confirmRemoval(qint64 count, qsizetype removed)
{
    QMessageBox box(QMessageBox::Warning, windowTitle(),
        qtTrId("alert.limit.title").arg(QLocale().toString(count)), QMessageBox::NoButton, this);
    box.setInformativeText(qtTrId("alert.limit.message").arg(QLocale().toString(removed)));
    QPushButton *confirm = box.addButton(qtTrId("alert.limit.confirm"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(qtTrId("alert.cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    return m_alertRunner(box) == confirm;
}

void PreferencesController::clipSizeChanged(int index)
{
    const qint64 bytes = itemValue(m_clipSizePopup, index).value_or(m_settings.maxClipBytes());
    m_settings.setMaxClipBytes(std::max<qint64>(bytes, 1));
}

void PreferencesController::totalSizeChanged(int index)
{
    m_settings.setMaxTotalBytes(
        std::max<qint64>(itemValue(m_totalSizePopup, index).value_or(0), 0));
}

void PreferencesController::anchorChanged(int index)
{
    if (index < 0 || index >= m_positionPopup->count())
        return;
    const QVariant raw = m_positionPopup->itemData(index);
    if (raw.typeId() != QMetaType::QString)
        return;
    if (const std::optional<PanelAnchor> anchor = panelAnchorFromRawValue(raw.toString()))
        m_settings.setPanelAnchor(*anchor);
}

void PreferencesController::alwaysVisibleChanged(bool on)
{
    m_settings.setAlwaysVisible(on);
}

void PreferencesController::keepClipboardAliveChanged(bool on)
{
    m_settings.setKeepClipboardAlive(on);
}

void PreferencesController::pasteAfterChoosingChanged(bool on)
{
    m_settings.setPasteAfterChoosing(on);
}

void PreferencesController::setPasteUnavailableReason(const QString &reason)
{
    m_pasteAfterChoosing->setEnabled(reason.isEmpty());
    m_pasteUnavailable->setText(reason);
    m_pasteUnavailable->setVisible(!reason.isEmpty());
}

void PreferencesController::launchAtLoginChanged(bool on)
{
    QString error;
    const bool done = on ? m_loginItem.registerItem(&error) : m_loginItem.unregisterItem(&error);
    if (done) {
        m_launchAtLogin->setToolTip(QString());
        return;
    }
    // The box shows what will really happen at the next login, and why the
    // change did not take.
    m_launchAtLogin->setChecked(m_loginItem.isEnabled());
    m_launchAtLogin->setToolTip(error);
}

void PreferencesController::refreshLaunchAtLogin()
{
    m_launchAtLogin->setChecked(m_loginItem.isEnabled());
}

void PreferencesController::restoreFrame(const QRect &area)
{
    // Not resizable: as big as the rows, but no taller or wider than the
    // work area leaves room for, title bar included; the rest scrolls.
    const QSize rows = m_content->sizeHint();
    const QSize room = area.size() - QSize(0, titleBarRoom);
    QSize size = rows.boundedTo(room);
    if (size.height() < rows.height())
        size.setWidth(std::min(
            rows.width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent), room.width()));
    setFixedSize(size);
    const QByteArray saved
        = m_settings.defaults().object(QLatin1String(SettingsKeys::preferencesFrame)).toByteArray();
    if (!saved.isEmpty() && restoreGeometry(saved))
        return;
    QRect frame(QPoint(), size + QSize(0, titleBarRoom));
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

void PreferencesController::saveFrame()
{
    m_settings.defaults().setObject(QLatin1String(SettingsKeys::preferencesFrame), saveGeometry());
}

void PreferencesController::closeEvent(QCloseEvent *event)
{
    saveFrame();
    QWidget::closeEvent(event);
    if (m_onClose)
        m_onClose();
}
