// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SharingPreferences.h"

#include "ui/PreferencesController.h"

#include "sync/SharingKey.h"
#include "sync/SharingSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>

namespace {

// A label of the settings' column of labels, so that this section's fields
// line up with the other sections'; its buddy is what it names to a screen
// reader.
QLabel *columnLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setFixedWidth(PreferencesController::labelWidth);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(buddy);
    return label;
}

} // namespace

SharingPreferences::SharingPreferences(
    Defaults &defaults, QString appSupportDir, Machines machines, QWidget *parent)
    : QWidget(parent)
    , m_defaults(defaults)
    , m_appSupportDir(std::move(appSupportDir))
    , m_machines(std::move(machines))
    , m_enabled(new QCheckBox(qtTrId("prefs.sharing.enabled")))
    , m_folder(new QLineEdit)
    , m_scope(new QComboBox)
    , m_passphrase(new QLineEdit)
    , m_setPassphrase(new QPushButton(qtTrId("prefs.sharing.setPassphrase")))
    , m_status(new QLabel)
    , m_machineList(new QLabel)
{
    SharingSettings settings(m_defaults);
    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setHorizontalSpacing(PreferencesController::spacing);
    form->addRow(columnLabel(QString(), nullptr), m_enabled);
    m_enabled->setChecked(settings.enabled());
    connect(m_enabled, &QCheckBox::clicked, this, [this](bool on) {
        SharingSettings(m_defaults).setEnabled(on);
        emit sharingChanged();
    });

    auto *folderRow = new QHBoxLayout;
    auto *choose = new QPushButton(qtTrId("prefs.sharing.chooseFolder"));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(choose);
    m_folder->setText(settings.folder());
    m_folder->setPlaceholderText(QStringLiteral("~/Sync/Quillstack"));
    form->addRow(columnLabel(qtTrId("prefs.sharing.folder"), m_folder), folderRow);
    const auto storeFolder = [this] {
        const QString folder = m_folder->text().trimmed();
        if (folder == SharingSettings(m_defaults).folder())
            return;
        SharingSettings(m_defaults).setFolder(folder);
        emit sharingChanged();
    };
    connect(m_folder, &QLineEdit::editingFinished, this, storeFolder);
    connect(choose, &QPushButton::clicked, this, [this, storeFolder] {
        const QString folder = QFileDialog::getExistingDirectory(
            this, qtTrId("prefs.sharing.folder"), m_folder->text());
        if (folder.isEmpty())
            return;
        m_folder->setText(folder);
        storeFolder();
    });

    m_scope->addItem(qtTrId("prefs.sharing.scope.kept"),
        SharingSettings::scopeRawValue(SyncEngine::Scope::kept));
    m_scope->addItem(
        qtTrId("prefs.sharing.scope.all"), SharingSettings::scopeRawValue(SyncEngine::Scope::all));
    m_scope->setCurrentIndex(settings.scope() == SyncEngine::Scope::all ? 1 : 0);
    form->addRow(columnLabel(qtTrId("prefs.sharing.scope"), m_scope), m_scope);
    connect(m_scope, &QComboBox::activated, this, [this](int index) {
        SharingSettings(m_defaults)
            .setScope(index == 1 ? SyncEngine::Scope::all : SyncEngine::Scope::kept);
        emit sharingChanged();
    });

    auto *passphraseRow = new QHBoxLayout;
    m_passphrase->setEchoMode(QLineEdit::Password);
    passphraseRow->addWidget(m_passphrase, 1);
    passphraseRow->addWidget(m_setPassphrase);
    form->addRow(columnLabel(qtTrId("prefs.sharing.passphrase"), m_passphrase), passphraseRow);
    connect(m_setPassphrase, &QPushButton::clicked, this, &SharingPreferences::setPassphrase);
    connect(m_passphrase, &QLineEdit::returnPressed, this, &SharingPreferences::setPassphrase);

    m_status->setWordWrap(true);
    // Told once here; after that, what the last passphrase entered came to.
    const bool hasKey
        = SharingKey::readStored(SharingSettings::keyPath(m_appSupportDir)).has_value();
    m_status->setText(
        hasKey ? qtTrId("prefs.sharing.keySet") : qtTrId("prefs.sharing.noPassphrase"));
    form->addRow(columnLabel(QString(), nullptr), m_status);
    m_machineList->setWordWrap(true);
    m_machineList->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(columnLabel(qtTrId("prefs.sharing.machines"), m_machineList), m_machineList);
    refresh();
}

void SharingPreferences::refresh()
{
    QStringList lines;
    const QLocale locale;
    for (const MachineStatus &machine : m_machines ? m_machines() : QList<MachineStatus>()) {
        if (machine.state == MachineStatus::State::self)
            continue;
        const QString name
            = machine.name.isEmpty() ? QString::fromLatin1(machine.id.left(8)) : machine.name;
        const QString heard = machine.lastHeard.isValid()
            ? locale.toString(machine.lastHeard.toLocalTime(), QLocale::ShortFormat)
            : qtTrId("prefs.sharing.never");
        QString line = qtTrId("prefs.sharing.machine").arg(name, heard).arg(machine.clips);
        if (machine.state == MachineStatus::State::wrongPassphrase
            || machine.state == MachineStatus::State::otherSalt)
            line += QStringLiteral(" — ") + qtTrId("prefs.sharing.machineWrongPassphrase");
        else if (machine.state == MachineStatus::State::damaged)
            line += QStringLiteral(" — ") + qtTrId("prefs.sharing.machineDamaged");
        lines.append(line);
    }
    m_machineList->setText(
        lines.isEmpty() ? qtTrId("prefs.sharing.noMachines") : lines.join(u'\n'));
}

void SharingPreferences::setPassphrase()
{
    const QString words = m_passphrase->text();
    const QString folder = SharingSettings(m_defaults).folder();
    if (words.isEmpty() || folder.isEmpty()) {
        m_status->setText(qtTrId("prefs.sharing.needFolderAndPassphrase"));
        return;
    }
    // Making the key takes about a second and a quarter of a GiB, once per
    // machine: it is made on a worker, and the row waits for it.
    m_passphrase->clear();
    m_passphrase->setEnabled(false);
    m_setPassphrase->setEnabled(false);
    m_status->setText(qtTrId("prefs.sharing.makingKey"));
    const QByteArray machine = SharingSettings(m_defaults).machineId();
    const QString keyPath = SharingSettings::keyPath(m_appSupportDir);
    QThreadPool::globalInstance()->start(
        [section = QPointer<SharingPreferences>(this), folder, machine, words, keyPath] {
            QString error;
            const bool ok = SharingKey::setUp(
                folder, machine, words, keyPath, SealedBox::defaultLimits(), &error);
            QMetaObject::invokeMethod(QCoreApplication::instance(), [section, ok, error] {
                if (section)
                    section->keyMade(ok, error);
            });
        });
}

void SharingPreferences::keyMade(bool ok, const QString &error)
{
    m_passphrase->setEnabled(true);
    m_setPassphrase->setEnabled(true);
    m_status->setText(ok ? qtTrId("prefs.sharing.keySet") : error);
    if (ok)
        emit sharingChanged();
}
