<?xml version="1.0" encoding="utf-8"?>
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name></name>
    <message id="search.placeholder">
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message id="empty.search">
        <source>No clips match your search</source>
        <translation>Keine Einträge passen zu Ihrer Suche</translation>
    </message>
    <message id="list.title.all">
        <source>Clipboard history</source>
        <translation>Zwischenablage-Verlauf</translation>
    </message>
    <message id="field.clear">
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message id="edit.text.name">
        <source>Text of the clip</source>
        <translation>Text des Eintrags</translation>
    </message>
    <message id="list.title.pinned">
        <source>Kept clips</source>
        <translation>Behaltene Einträge</translation>
    </message>
    <message id="empty.pinned">
        <source>No kept clips yet</source>
        <translation>Noch keine behaltenen Einträge</translation>
    </message>
    <message id="empty.history">
        <source>Copy something and it will appear here</source>
        <translation>Kopieren Sie etwas, und es erscheint hier</translation>
    </message>
    <message id="clip.copyPlain">
        <source>Copy as Plain Text</source>
        <translation>Als reinen Text kopieren</translation>
    </message>
    <message id="clip.keep">
        <source>Keep</source>
        <translation>Behalten</translation>
    </message>
    <message id="clip.keep.tooltip">
        <source>Kept clips are never removed by the limits or by Clear History</source>
        <translation>Behaltene Einträge werden weder von den Grenzen noch von „Verlauf leeren“ entfernt</translation>
    </message>
    <message id="clip.timestamp">
        <source>Copied %1</source>
        <translation>Kopiert %1</translation>
    </message>
    <message id="clip.tooltip.image">
        <source>%1 × %2 pixels, %3</source>
        <translation>%1 × %2 Pixel, %3</translation>
    </message>
    <message id="clip.edit">
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message id="clip.view">
        <source>View</source>
        <translation>Ansehen</translation>
    </message>
    <message id="clip.delete">
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message id="clip.kind.files">
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message id="clip.kind.image">
        <source>Image</source>
        <translation>Bild</translation>
    </message>
    <message id="status.accessibility">
        <source>Quillstack clipboard history</source>
        <translation>Quillstack-Zwischenablageverlauf</translation>
    </message>
    <message id="menu.show">
        <source>Show History</source>
        <translation>Verlauf zeigen</translation>
    </message>
    <message id="menu.hide">
        <source>Hide History</source>
        <translation>Verlauf ausblenden</translation>
    </message>
    <message id="menu.settings">
        <source>Settings…</source>
        <translation>Einstellungen …</translation>
    </message>
    <message id="menu.clearHistory">
        <source>Clear History…</source>
        <translation>Verlauf leeren …</translation>
    </message>
    <message id="menu.share">
        <source>Share Quillstack…</source>
        <translation>Quillstack teilen …</translation>
    </message>
    <message id="menu.quit">
        <source>Quit Quillstack</source>
        <translation>Quillstack beenden</translation>
    </message>
    <message id="menu.pauseRecording">
        <source>Pause Recording</source>
        <translation>Aufzeichnung anhalten</translation>
    </message>
    <message id="status.paused">
        <source>Quillstack: recording paused</source>
        <translation>Quillstack: Aufzeichnung angehalten</translation>
    </message>
    <message id="status.noTray">
        <source>No system tray was found. Quillstack keeps running: open the history with its shortcut or “quillstack --toggle”; the icon appears once a tray is available.</source>
        <translation>Es wurde kein Systembereich der Kontrollleiste gefunden. Quillstack läuft weiter: Öffnen Sie den Verlauf mit seinem Tastenkürzel oder mit „quillstack --toggle“; das Symbol erscheint, sobald ein Systembereich verfügbar ist.</translation>
    </message>
    <message id="status.noCommandLine">
        <source>The command line cannot reach this Quillstack (%1); it runs on as the only one.</source>
        <translation>Die Befehlszeile kann dieses Quillstack nicht erreichen (%1); es läuft als einziges weiter.</translation>
    </message>
    <message id="notice.noTray.title">
        <source>No system tray</source>
        <translation>Kein Systembereich</translation>
    </message>
    <message id="notice.noBus.title">
        <source>Command line unavailable</source>
        <translation>Befehlszeile nicht verfügbar</translation>
    </message>
    <message id="cli.description">
        <source>Clipboard history for the Linux desktop. Without options, starts Quillstack in the tray, or does nothing when it already runs; the options talk to the running Quillstack.</source>
        <translation>Zwischenablageverlauf für den Linux-Desktop. Ohne Optionen wird Quillstack im Systembereich gestartet oder, wenn es schon läuft, nichts getan; die Optionen wenden sich an das laufende Quillstack.</translation>
    </message>
    <message id="cli.help">
        <source>Show this help and exit.</source>
        <translation>Diese Hilfe zeigen und beenden.</translation>
    </message>
    <message id="cli.version">
        <source>Show the version and exit.</source>
        <translation>Die Version zeigen und beenden.</translation>
    </message>
    <message id="cli.toggle">
        <source>Show or hide the history panel.</source>
        <translation>Den Verlauf zeigen oder ausblenden.</translation>
    </message>
    <message id="cli.togglePinned">
        <source>Show or hide the panel with the kept clips.</source>
        <translation>Die behaltenen Einträge zeigen oder ausblenden.</translation>
    </message>
    <message id="cli.show">
        <source>Show the history panel.</source>
        <translation>Den Verlauf zeigen.</translation>
    </message>
    <message id="cli.preferences">
        <source>Open the preferences.</source>
        <translation>Die Einstellungen öffnen.</translation>
    </message>
    <message id="cli.quit">
        <source>Quit the running Quillstack.</source>
        <translation>Das laufende Quillstack beenden.</translation>
    </message>
    <message id="cli.list">
        <source>Print the newest N clips (10 unless N is given).</source>
        <translation>Die neuesten N Einträge ausgeben (10, wenn N fehlt).</translation>
    </message>
    <message id="cli.json">
        <source>With --list: print JSON.</source>
        <translation>Mit --list: als JSON ausgeben.</translation>
    </message>
    <message id="cli.copy">
        <source>Put a clip on the clipboard, by its id or its 0-based index.</source>
        <translation>Einen Eintrag in die Zwischenablage legen, nach seiner ID oder seiner Position (ab 0).</translation>
    </message>
    <message id="cli.export">
        <source>Print the whole history as JSON, in the form of the archive file.</source>
        <translation>Den ganzen Verlauf als JSON ausgeben, in der Form der Archivdatei.</translation>
    </message>
    <message id="cli.syncStatus">
        <source>Print each machine sharing the history: when it was last heard from, how many clips came from it.</source>
        <translation>Jede Maschine ausgeben, die den Verlauf teilt: wann sie zuletzt zu hören war und wie viele Einträge von ihr kamen.</translation>
    </message>
    <message id="cli.syncPassphrase">
        <source>Read the passphrase for sharing the history from the first line of standard input, and keep the key made from it (sharing.folder must be set).</source>
        <translation>Die Passphrase zum Teilen des Verlaufs aus der ersten Zeile der Standardeingabe lesen und den daraus abgeleiteten Schlüssel aufbewahren (sharing.folder muss gesetzt sein).</translation>
    </message>
    <message id="cli.noPassphrase">
        <source>No passphrase on standard input, or no shared folder in the settings.</source>
        <translation>Keine Passphrase auf der Standardeingabe oder kein geteilter Ordner in den Einstellungen.</translation>
    </message>
    <message id="cli.clear">
        <source>Clear the history (kept clips stay).</source>
        <translation>Den Verlauf leeren (behaltene Einträge bleiben).</translation>
    </message>
    <message id="cli.pause">
        <source>Pause recording.</source>
        <translation>Die Aufzeichnung anhalten.</translation>
    </message>
    <message id="cli.resume">
        <source>Resume recording.</source>
        <translation>Die Aufzeichnung fortsetzen.</translation>
    </message>
    <message id="cli.count">
        <source>How many clips --list prints.</source>
        <translation>Wie viele Einträge --list ausgibt.</translation>
    </message>
    <message id="cli.kept">
        <source>[kept]</source>
        <translation>[behalten]</translation>
    </message>
    <message id="cli.tryHelp">
        <source>Try “quillstack --help” for more information.</source>
        <translation>„quillstack --help“ zeigt mehr Informationen.</translation>
    </message>
    <message id="cli.oneCommand">
        <source>Give one command at a time.</source>
        <translation>Bitte nur einen Befehl auf einmal angeben.</translation>
    </message>
    <message id="cli.jsonWithList">
        <source>--json only goes with --list or --sync-status.</source>
        <translation>--json gibt es nur zusammen mit --list oder --sync-status.</translation>
    </message>
    <message id="cli.unexpected">
        <source>Unexpected argument: %1</source>
        <translation>Unerwartetes Argument: %1</translation>
    </message>
    <message id="cli.badCount">
        <source>The number of clips must be a whole number from 1, not %1.</source>
        <translation>Die Anzahl der Einträge muss eine ganze Zahl ab 1 sein, nicht %1.</translation>
    </message>
    <message id="cli.noBus">
        <source>there is no session bus</source>
        <translation>es gibt keinen Sitzungsbus</translation>
    </message>
    <message id="cli.unreachable">
        <source>No running Quillstack can be reached: %1.</source>
        <translation>Kein laufendes Quillstack erreichbar: %1.</translation>
    </message>
    <message id="cli.notRunning">
        <source>Quillstack is not running.</source>
        <translation>Quillstack läuft nicht.</translation>
    </message>
    <message id="cli.noAnswer">
        <source>Quillstack did not answer within a second.</source>
        <translation>Quillstack hat nicht innerhalb einer Sekunde geantwortet.</translation>
    </message>
    <message id="cli.failed">
        <source>The running Quillstack refused the command: %1</source>
        <translation>Das laufende Quillstack hat den Befehl abgelehnt: %1</translation>
    </message>
    <message id="cli.unknownOption">
        <source>Unknown option '%1'.</source>
        <translation>Unbekannte Option „%1“.</translation>
    </message>
    <message id="cli.imageMissing">
        <source>The image file of that clip is missing, so the clipboard was left as it was.</source>
        <translation>Die Bilddatei dieses Eintrags fehlt, daher bleibt die Zwischenablage unverändert.</translation>
    </message>
    <message id="cli.noSuchClip">
        <source>There is no clip %1.</source>
        <translation>Es gibt keinen Eintrag %1.</translation>
    </message>
    <message id="cli.noDisplay">
        <source>Quillstack needs a graphical session, but no X display could be opened (is DISPLAY set?).</source>
        <translation>Quillstack braucht eine grafische Sitzung, aber es ließ sich keine X-Anzeige öffnen (ist DISPLAY gesetzt?).</translation>
    </message>
    <message id="cli.folderInUse">
        <source>Another Quillstack is already running with the history in %1, and it cannot be reached without a session bus.</source>
        <translation>Ein anderes Quillstack läuft bereits mit dem Verlauf in %1 und ist ohne Sitzungsbus nicht erreichbar.</translation>
    </message>
    <message id="alert.clear.title">
        <source>Clear the clipboard history?</source>
        <translation>Den Zwischenablageverlauf leeren?</translation>
    </message>
    <message id="alert.clear.message">
        <source>Every clip that is not kept will be removed. This cannot be undone.</source>
        <translation>Alle Einträge, die nicht behalten werden, werden entfernt. Das lässt sich nicht rückgängig machen.</translation>
    </message>
    <message id="alert.clear.confirm">
        <source>Clear History</source>
        <translation>Verlauf leeren</translation>
    </message>
    <message id="alert.limit.title">
        <source>Lower the maximum number of clips to %1?</source>
        <translation>Höchstzahl der Einträge auf %1 senken?</translation>
    </message>
    <message id="alert.limit.message">
        <source>Clips removed at once: %1, the oldest that are not kept. This cannot be undone.</source>
        <translation>Sofort entfernte Einträge: %1, die ältesten, die nicht behalten werden. Das lässt sich nicht rückgängig machen.</translation>
    </message>
    <message id="alert.limit.confirm">
        <source>Remove Clips</source>
        <translation>Einträge entfernen</translation>
    </message>
    <message id="alert.deleteKept.title">
        <source>Delete this kept clip?</source>
        <translation>Diesen behaltenen Eintrag löschen?</translation>
    </message>
    <message id="alert.cancel">
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="share.message">
        <source>Quillstack keeps a searchable history of everything you copy.</source>
        <translation>Quillstack bewahrt einen durchsuchbaren Verlauf von allem, was Sie kopieren.</translation>
    </message>
    <message id="edit.textTitle">
        <source>Edit Clip</source>
        <translation>Eintrag bearbeiten</translation>
    </message>
    <message id="edit.imageTitle">
        <source>View Image</source>
        <translation>Bild ansehen</translation>
    </message>
    <message id="edit.close">
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message id="edit.cancel">
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="edit.save">
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message id="prefs.title">
        <source>Quillstack Settings</source>
        <translation>Quillstack-Einstellungen</translation>
    </message>
    <message id="prefs.section.limits">
        <source>History Limits</source>
        <translation>Grenzen des Verlaufs</translation>
    </message>
    <message id="prefs.section.window">
        <source>Panel</source>
        <translation>Verlaufsfenster</translation>
    </message>
    <message id="prefs.section.general">
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message id="prefs.maxAge">
        <source>Keep clips for:</source>
        <translation>Einträge aufbewahren:</translation>
    </message>
    <message id="prefs.age.unlimited">
        <source>Forever</source>
        <translation>Für immer</translation>
    </message>
    <message id="prefs.age.hour">
        <source>One hour</source>
        <translation>Eine Stunde</translation>
    </message>
    <message id="prefs.age.day">
        <source>One day</source>
        <translation>Einen Tag</translation>
    </message>
    <message id="prefs.age.week">
        <source>One week</source>
        <translation>Eine Woche</translation>
    </message>
    <message id="prefs.age.month">
        <source>One month</source>
        <translation>Einen Monat</translation>
    </message>
    <message id="prefs.maxCount">
        <source>Maximum number of clips:</source>
        <translation>Höchstzahl der Einträge:</translation>
    </message>
    <message id="prefs.maxClipSize">
        <source>Largest single clip:</source>
        <translation>Größter einzelner Eintrag:</translation>
    </message>
    <message id="prefs.maxTotalSize">
        <source>Total history size:</source>
        <translation>Gesamtgröße des Verlaufs:</translation>
    </message>
    <message id="prefs.size.unlimited">
        <source>Unlimited</source>
        <translation>Unbegrenzt</translation>
    </message>
    <message id="prefs.size.1mb">
        <source>1 MB</source>
        <translation>1 MB</translation>
    </message>
    <message id="prefs.size.5mb">
        <source>5 MB</source>
        <translation>5 MB</translation>
    </message>
    <message id="prefs.size.10mb">
        <source>10 MB</source>
        <translation>10 MB</translation>
    </message>
    <message id="prefs.size.25mb">
        <source>25 MB</source>
        <translation>25 MB</translation>
    </message>
    <message id="prefs.size.50mb">
        <source>50 MB</source>
        <translation>50 MB</translation>
    </message>
    <message id="prefs.size.100mb">
        <source>100 MB</source>
        <translation>100 MB</translation>
    </message>
    <message id="prefs.size.200mb">
        <source>200 MB</source>
        <translation>200 MB</translation>
    </message>
    <message id="prefs.position">
        <source>Panel position:</source>
        <translation>Position des Verlaufs:</translation>
    </message>
    <message id="prefs.anchor.topLeft">
        <source>Top left</source>
        <translation>Oben links</translation>
    </message>
    <message id="prefs.anchor.top">
        <source>Top</source>
        <translation>Oben</translation>
    </message>
    <message id="prefs.anchor.topRight">
        <source>Top right</source>
        <translation>Oben rechts</translation>
    </message>
    <message id="prefs.anchor.left">
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message id="prefs.anchor.right">
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message id="prefs.anchor.bottomLeft">
        <source>Bottom left</source>
        <translation>Unten links</translation>
    </message>
    <message id="prefs.anchor.bottom">
        <source>Bottom</source>
        <translation>Unten</translation>
    </message>
    <message id="prefs.anchor.bottomRight">
        <source>Bottom right</source>
        <translation>Unten rechts</translation>
    </message>
    <message id="prefs.alwaysVisible">
        <source>Keep the panel always visible</source>
        <translation>Verlauf immer sichtbar lassen</translation>
    </message>
    <message id="prefs.hotkey">
        <source>Open history:</source>
        <translation>Verlauf öffnen:</translation>
    </message>
    <message id="prefs.hotkey.pinned">
        <source>Open kept clips:</source>
        <translation>Behaltene Einträge öffnen:</translation>
    </message>
    <message id="prefs.hotkey.desktopOwns">
        <source>Your desktop owns these shortcuts: it takes the keys above as a proposal and may ask you first.</source>
        <translation>Ihre Arbeitsumgebung verwaltet diese Tastenkürzel: Sie nimmt die Tasten oben als Vorschlag und kann Sie vorher fragen.</translation>
    </message>
    <message id="prefs.hotkey.configure">
        <source>Desktop Shortcuts…</source>
        <translation>Systemkürzel …</translation>
    </message>
    <message id="prefs.hotkey.userBinds">
        <source>This desktop does not bind shortcuts for programs: bind “quillstack --toggle” and “quillstack --toggle-pinned” to keys in your desktop's keyboard settings.</source>
        <translation>Diese Arbeitsumgebung richtet keine Tastenkürzel für Programme ein: Legen Sie „quillstack --toggle“ und „quillstack --toggle-pinned“ in den Tastatureinstellungen Ihrer Arbeitsumgebung auf Tasten.</translation>
    </message>
    <message id="prefs.launchAtLogin">
        <source>Start Quillstack at login</source>
        <translation>Quillstack bei der Anmeldung starten</translation>
    </message>
    <message id="prefs.keepClipboard">
        <source>Keep the clipboard when its program quits</source>
        <translation>Zwischenablage behalten, wenn ihr Programm endet</translation>
    </message>
    <message id="edit.find">
        <source>Find in text</source>
        <translation>Im Text suchen</translation>
    </message>
    <message id="share.copy">
        <source>Copy Text and Link</source>
        <translation>Text und Link kopieren</translation>
    </message>
    <message id="share.mail">
        <source>Send by Email…</source>
        <translation>Per E-Mail senden …</translation>
    </message>
    <message id="share.subject">
        <source>Quillstack, a clipboard history</source>
        <translation>Quillstack, ein Zwischenablageverlauf</translation>
    </message>
    <message id="notice.saveFailed.title">
        <source>Quillstack cannot save the history</source>
        <translation>Quillstack kann den Verlauf nicht speichern</translation>
    </message>
    <message id="notice.saveFailed.message">
        <source>%1. Your clips are kept while Quillstack runs, and every new copy tries again. Free some disk space, or make the folder %2 writable.</source>
        <translation>%1. Ihre Einträge bleiben erhalten, solange Quillstack läuft, und jede neue Kopie versucht es erneut. Geben Sie Speicherplatz frei oder machen Sie den Ordner %2 beschreibbar.</translation>
    </message>
    <message id="notice.saveRecovered.title">
        <source>Quillstack saves the history again</source>
        <translation>Quillstack speichert den Verlauf wieder</translation>
    </message>
    <message id="notice.saveRecovered.message">
        <source>Your clips are on disk again.</source>
        <translation>Ihre Einträge sind wieder auf der Festplatte.</translation>
    </message>
    <message id="notice.archiveSetAside.title">
        <source>Quillstack could not read the history</source>
        <translation>Quillstack konnte den Verlauf nicht lesen</translation>
    </message>
    <message id="notice.archiveSetAside.message">
        <source>The history file did not load, so a new history was started. The old file was kept as %1.</source>
        <translation>Die Verlaufsdatei ließ sich nicht laden, daher wurde ein neuer Verlauf begonnen. Die alte Datei wurde als %1 aufbewahrt.</translation>
    </message>
    <message id="notice.journalSetAside.title">
        <source>Quillstack could not read all of the latest changes</source>
        <translation>Quillstack konnte nicht alle letzten Änderungen lesen</translation>
    </message>
    <message id="notice.journalSetAside.message">
        <source>The history was read up to a damaged change; the changes before it were kept. The file of changes was kept as %1.</source>
        <translation>Der Verlauf wurde bis zu einer beschädigten Änderung gelesen; die Änderungen davor sind erhalten. Die Datei der Änderungen wurde als %1 aufbewahrt.</translation>
    </message>
    <message id="notice.foreign.title">
        <source>Quillstack leaves %1 as it is</source>
        <translation>Quillstack lässt %1, wie es ist</translation>
    </message>
    <message id="notice.foreign.link">
        <source>%1 is a link to another place, and Quillstack never follows links out of its folder.</source>
        <translation>%1 ist eine Verknüpfung an einen anderen Ort, und Quillstack folgt nie Verknüpfungen aus seinem Ordner hinaus.</translation>
    </message>
    <message id="notice.foreign.archiveFolder">
        <source>%1 is a folder, not Quillstack&apos;s history file.</source>
        <translation>%1 ist ein Ordner, nicht die Verlaufsdatei von Quillstack.</translation>
    </message>
    <message id="notice.foreign.journalFolder">
        <source>%1 is a folder, not Quillstack&apos;s journal.</source>
        <translation>%1 ist ein Ordner, nicht das Änderungsprotokoll von Quillstack.</translation>
    </message>
    <message id="notice.foreign.file">
        <source>%1 is a file, not Quillstack&apos;s folder.</source>
        <translation>%1 ist eine Datei, nicht der Ordner von Quillstack.</translation>
    </message>
    <message id="notice.foreign.special">
        <source>%1 is not a plain file.</source>
        <translation>%1 ist keine gewöhnliche Datei.</translation>
    </message>
    <message id="notice.foreign.images">
        <source>Copied images are not saved until it is moved away.</source>
        <translation>Kopierte Bilder werden nicht gespeichert, bis es entfernt ist.</translation>
    </message>
    <message id="notice.foreign.history">
        <source>Your clips are kept while Quillstack runs, but not saved until it is moved away.</source>
        <translation>Ihre Einträge bleiben erhalten, solange Quillstack läuft, werden aber nicht gespeichert, bis es entfernt ist.</translation>
    </message>
    <message id="notice.shortcutTaken.title">
        <source>Shortcut %1 is not available</source>
        <translation>Tastenkürzel %1 ist nicht verfügbar</translation>
    </message>
    <message id="notice.shortcutTaken.message">
        <source>Another program already uses %1, so it does not open Quillstack. Choose another shortcut in Quillstack's preferences, or free it in the other program.</source>
        <translation>Ein anderes Programm verwendet %1 bereits, daher öffnet es Quillstack nicht. Wählen Sie in den Einstellungen von Quillstack ein anderes Tastenkürzel oder geben Sie es im anderen Programm frei.</translation>
    </message>
    <message id="notice.imageMissing.title">
        <source>The image cannot be copied</source>
        <translation>Das Bild kann nicht kopiert werden</translation>
    </message>
    <message id="notice.imageMissing.message">
        <source>Its file %1 is missing, so the clipboard was left as it was.</source>
        <translation>Seine Datei %1 fehlt, daher bleibt die Zwischenablage unverändert.</translation>
    </message>
    <message id="notice.clipboardUnavailable.title">
        <source>Quillstack cannot see copies</source>
        <translation>Quillstack kann Kopien nicht sehen</translation>
    </message>
    <message id="notice.clipboardUnavailable.message">
        <source>Reading the clipboard failed (%1): copies are not recorded. Restart Quillstack in your desktop session.</source>
        <translation>Die Zwischenablage konnte nicht gelesen werden (%1): Kopien werden nicht aufgezeichnet. Starten Sie Quillstack in Ihrer Desktop-Sitzung neu.</translation>
    </message>
    <message id="notice.shortcutsUnavailable.title">
        <source>Global shortcuts are not available</source>
        <translation>Globale Tastenkürzel sind nicht verfügbar</translation>
    </message>
    <message id="notice.shortcutsUnavailable.message">
        <source>Quillstack could not set up its shortcuts (%1). Open the history from the tray icon instead.</source>
        <translation>Quillstack konnte seine Tastenkürzel nicht einrichten (%1). Öffnen Sie den Verlauf stattdessen über das Symbol im Systembereich.</translation>
    </message>
    <message id="notice.gnomeCompanion.title">
        <source>Copies in GNOME’s Wayland programs are missed</source>
        <translation>Kopien in Wayland-Programmen unter GNOME fehlen</translation>
    </message>
    <message id="notice.gnomeCompanion.message">
        <source>GNOME shows Quillstack copies made in Wayland programs only while one of its windows has the keyboard. Enable its GNOME Shell companion with “%1”, then log out and in again.</source>
        <translation>GNOME zeigt Quillstack Kopien aus Wayland-Programmen nur, solange eines seiner Fenster die Tastatur hat. Aktivieren Sie seine GNOME-Shell-Erweiterung mit „%1“ und melden Sie sich danach ab und wieder an.</translation>
    </message>
    <message id="portal.refused">
        <source>the desktop did not allow them; bind “quillstack --toggle” in its keyboard settings</source>
        <translation>die Arbeitsumgebung hat sie nicht zugelassen; legen Sie „quillstack --toggle“ in ihren Tastatureinstellungen auf eine Taste</translation>
    </message>
    <message id="notice.mailUnavailable.title">
        <source>No email program to send from</source>
        <translation>Kein E-Mail-Programm zum Senden</translation>
    </message>
    <message id="notice.mailUnavailable.message">
        <source>The desktop has no program for email links. Use “Copy Text and Link” and paste it into a message; the address is %1.</source>
        <translation>Die Arbeitsumgebung hat kein Programm für E-Mail-Links. Verwenden Sie „Text und Link kopieren“ und fügen Sie ihn in eine Nachricht ein; die Adresse ist %1.</translation>
    </message>
    <message id="notice.sharing.title">
        <source>Sharing the history</source>
        <translation>Verlauf teilen</translation>
    </message>
    <message id="notice.sharing.noPassphrase">
        <source>Sharing is on, but the passphrase was not entered on this machine yet. Enter it in the settings.</source>
        <translation>Teilen ist eingeschaltet, aber die Passphrase wurde auf diesem Rechner noch nicht eingegeben. Geben Sie sie in den Einstellungen ein.</translation>
    </message>
    <message id="notice.sharing.wrongPassphrase">
        <source>Another machine shares this folder with a different passphrase; its history is not read.</source>
        <translation>Ein anderer Rechner teilt diesen Ordner mit einer anderen Passphrase; sein Verlauf wird nicht gelesen.</translation>
    </message>
    <message id="notice.sharing.cannotWrite">
        <source>Your history could not be shared: %1</source>
        <translation>Ihr Verlauf konnte nicht geteilt werden: %1</translation>
    </message>
    <message id="prefs.section.sharing">
        <source>Your other machines</source>
        <translation>Ihre anderen Rechner</translation>
    </message>
    <message id="prefs.sharing.enabled">
        <source>Share history with my other machines</source>
        <translation>Verlauf mit meinen anderen Rechnern teilen</translation>
    </message>
    <message id="prefs.sharing.chooseFolder">
        <source>Choose…</source>
        <translation>Auswählen …</translation>
    </message>
    <message id="prefs.sharing.folder">
        <source>Shared folder:</source>
        <translation>Geteilter Ordner:</translation>
    </message>
    <message id="prefs.sharing.scope">
        <source>Share:</source>
        <translation>Teilen:</translation>
    </message>
    <message id="prefs.sharing.scope.kept">
        <source>Kept clips only</source>
        <translation>Nur behaltene Einträge</translation>
    </message>
    <message id="prefs.sharing.scope.all">
        <source>Every clip</source>
        <translation>Alle Einträge</translation>
    </message>
    <message id="prefs.sharing.passphrase">
        <source>Passphrase:</source>
        <translation>Passphrase:</translation>
    </message>
    <message id="prefs.sharing.setPassphrase">
        <source>Set</source>
        <translation>Festlegen</translation>
    </message>
    <message id="prefs.sharing.keySet">
        <source>The passphrase is set on this machine. Everything in the shared folder is encrypted with it.</source>
        <translation>Die Passphrase ist auf diesem Rechner festgelegt. Alles im geteilten Ordner ist damit verschlüsselt.</translation>
    </message>
    <message id="prefs.sharing.makingKey">
        <source>Making the key from the passphrase…</source>
        <translation>Der Schlüssel wird aus der Passphrase abgeleitet …</translation>
    </message>
    <message id="prefs.sharing.noPassphrase">
        <source>Enter the passphrase your other machines use (or a new one for the first machine). Only a key made from it is kept.</source>
        <translation>Geben Sie die Passphrase Ihrer anderen Rechner ein (oder eine neue für den ersten Rechner). Nur ein daraus abgeleiteter Schlüssel wird aufbewahrt.</translation>
    </message>
    <message id="prefs.sharing.needFolderAndPassphrase">
        <source>Choose the shared folder first, then enter the passphrase.</source>
        <translation>Wählen Sie zuerst den geteilten Ordner und geben Sie dann die Passphrase ein.</translation>
    </message>
    <message id="prefs.sharing.machines">
        <source>Machines:</source>
        <translation>Rechner:</translation>
    </message>
    <message id="prefs.sharing.noMachines">
        <source>No other machine yet</source>
        <translation>Noch kein anderer Rechner</translation>
    </message>
    <message id="prefs.sharing.never">
        <source>never</source>
        <translation>nie</translation>
    </message>
    <message id="prefs.sharing.machine">
        <source>%1: last heard from %2, %3 clips</source>
        <translation>%1: zuletzt gemeldet %2, %3 Einträge</translation>
    </message>
    <message id="prefs.sharing.machineWrongPassphrase">
        <source>another passphrase</source>
        <translation>andere Passphrase</translation>
    </message>
    <message id="prefs.sharing.machineDamaged">
        <source>some lines are damaged</source>
        <translation>einige Zeilen sind beschädigt</translation>
    </message>
    <message id="prefs.pasteAfterChoosing">
        <source>Paste after choosing</source>
        <translation>Nach der Auswahl einfügen</translation>
    </message>
    <message id="paste.unavailable.desktop">
        <source>This desktop lets no program press keys for another.</source>
        <translation>Diese Arbeitsumgebung lässt kein Programm Tasten für ein anderes drücken.</translation>
    </message>
    <message id="paste.unavailable.xtest">
        <source>The X server has no XTEST extension to press keys with.</source>
        <translation>Der X-Server hat keine XTEST-Erweiterung zum Drücken von Tasten.</translation>
    </message>
    <message id="paste.unavailable.virtualKeyboard">
        <source>The compositor offers no virtual keyboard to press keys with.</source>
        <translation>Der Compositor bietet keine virtuelle Tastatur zum Drücken von Tasten an.</translation>
    </message>
    <message id="paste.unavailable.kwin">
        <source>KWin lets only programs it trusts press keys.</source>
        <translation>KWin lässt nur Programme, denen es vertraut, Tasten drücken.</translation>
    </message>
    <message id="paste.failed.noWindow">
        <source>No other window had the keyboard before the history.</source>
        <translation>Vor dem Verlauf hatte kein anderes Fenster die Tastatur.</translation>
    </message>
    <message id="paste.failed.noFocus">
        <source>The window did not get the keyboard back within a second.</source>
        <translation>Das Fenster hat die Tastatur nicht innerhalb einer Sekunde zurückbekommen.</translation>
    </message>
    <message id="paste.failed.noKey">
        <source>The keyboard layout has no key for V.</source>
        <translation>Die Tastaturbelegung hat keine Taste für V.</translation>
    </message>
    <message id="paste.failed.gnomeShell">
        <source>GNOME Shell did not press the keys: %1</source>
        <translation>GNOME Shell hat die Tasten nicht gedrückt: %1</translation>
    </message>
    <message id="notice.pasteFailed.title">
        <source>Quillstack could not paste</source>
        <translation>Quillstack konnte nicht einfügen</translation>
    </message>
    <message id="notice.pasteFailed.message">
        <source>The clip is on the clipboard: paste it with Ctrl+V. %1</source>
        <translation>Der Eintrag liegt in der Zwischenablage: Fügen Sie ihn mit Strg+V ein. %1</translation>
    </message>
</context>
</TS>
