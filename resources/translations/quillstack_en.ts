<?xml version="1.0" encoding="utf-8"?>
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="search.placeholder">
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message id="empty.search">
        <source>No clips match your search</source>
        <translation>No clips match your search</translation>
    </message>
    <message id="list.title.all">
        <source>Clipboard history</source>
        <translation>Clipboard history</translation>
    </message>
    <message id="field.clear">
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message id="edit.text.name">
        <source>Text of the clip</source>
        <translation>Text of the clip</translation>
    </message>
    <message id="list.title.pinned">
        <source>Kept clips</source>
        <translation>Kept clips</translation>
    </message>
    <message id="empty.pinned">
        <source>No kept clips yet</source>
        <translation>No kept clips yet</translation>
    </message>
    <message id="empty.history">
        <source>Copy something and it will appear here</source>
        <translation>Copy something and it will appear here</translation>
    </message>
    <message id="clip.copyPlain">
        <source>Copy as Plain Text</source>
        <translation>Copy as Plain Text</translation>
    </message>
    <message id="clip.keep">
        <source>Keep</source>
        <translation>Keep</translation>
    </message>
    <message id="clip.keep.tooltip">
        <source>Kept clips are never removed by the limits or by Clear History</source>
        <translation>Kept clips are never removed by the limits or by Clear History</translation>
    </message>
    <message id="clip.timestamp">
        <source>Copied %1</source>
        <translation>Copied %1</translation>
    </message>
    <message id="clip.tooltip.image">
        <source>%1 × %2 pixels, %3</source>
        <translation>%1 × %2 pixels, %3</translation>
    </message>
    <message id="clip.edit">
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
    <message id="clip.view">
        <source>View</source>
        <translation>View</translation>
    </message>
    <message id="clip.delete">
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message id="clip.kind.files">
        <source>Files</source>
        <translation>Files</translation>
    </message>
    <message id="clip.kind.image">
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message id="status.accessibility">
        <source>Quillstack clipboard history</source>
        <translation>Quillstack clipboard history</translation>
    </message>
    <message id="menu.show">
        <source>Show History</source>
        <translation>Show History</translation>
    </message>
    <message id="menu.hide">
        <source>Hide History</source>
        <translation>Hide History</translation>
    </message>
    <message id="menu.settings">
        <source>Settings…</source>
        <translation>Settings…</translation>
    </message>
    <message id="menu.clearHistory">
        <source>Clear History…</source>
        <translation>Clear History…</translation>
    </message>
    <message id="menu.share">
        <source>Share Quillstack…</source>
        <translation>Share Quillstack…</translation>
    </message>
    <message id="menu.quit">
        <source>Quit Quillstack</source>
        <translation>Quit Quillstack</translation>
    </message>
    <message id="menu.pauseRecording">
        <source>Pause Recording</source>
        <translation>Pause Recording</translation>
    </message>
    <message id="status.paused">
        <source>Quillstack: recording paused</source>
        <translation>Quillstack: recording paused</translation>
    </message>
    <message id="status.noTray">
        <source>No system tray was found. Quillstack keeps running: open the history with its shortcut or “quillstack --toggle”; the icon appears once a tray is available.</source>
        <translation>No system tray was found. Quillstack keeps running: open the history with its shortcut or “quillstack --toggle”; the icon appears once a tray is available.</translation>
    </message>
    <message id="status.noCommandLine">
        <source>The command line cannot reach this Quillstack (%1); it runs on as the only one.</source>
        <translation>The command line cannot reach this Quillstack (%1); it runs on as the only one.</translation>
    </message>
    <message id="notice.noTray.title">
        <source>No system tray</source>
        <translation>No system tray</translation>
    </message>
    <message id="notice.noBus.title">
        <source>Command line unavailable</source>
        <translation>Command line unavailable</translation>
    </message>
    <message id="cli.description">
        <source>Clipboard history for the Linux desktop. Without options, starts Quillstack in the tray, or does nothing when it already runs; the options talk to the running Quillstack.</source>
        <translation>Clipboard history for the Linux desktop. Without options, starts Quillstack in the tray, or does nothing when it already runs; the options talk to the running Quillstack.</translation>
    </message>
    <message id="cli.help">
        <source>Show this help and exit.</source>
        <translation>Show this help and exit.</translation>
    </message>
    <message id="cli.version">
        <source>Show the version and exit.</source>
        <translation>Show the version and exit.</translation>
    </message>
    <message id="cli.toggle">
        <source>Show or hide the history panel.</source>
        <translation>Show or hide the history panel.</translation>
    </message>
    <message id="cli.togglePinned">
        <source>Show or hide the panel with the kept clips.</source>
        <translation>Show or hide the panel with the kept clips.</translation>
    </message>
    <message id="cli.show">
        <source>Show the history panel.</source>
        <translation>Show the history panel.</translation>
    </message>
    <message id="cli.preferences">
        <source>Open the preferences.</source>
        <translation>Open the preferences.</translation>
    </message>
    <message id="cli.quit">
        <source>Quit the running Quillstack.</source>
        <translation>Quit the running Quillstack.</translation>
    </message>
    <message id="cli.list">
        <source>Print the newest N clips (10 unless N is given).</source>
        <translation>Print the newest N clips (10 unless N is given).</translation>
    </message>
    <message id="cli.json">
        <source>With --list: print JSON.</source>
        <translation>With --list: print JSON.</translation>
    </message>
    <message id="cli.copy">
        <source>Put a clip on the clipboard, by its id or its 0-based index.</source>
        <translation>Put a clip on the clipboard, by its id or its 0-based index.</translation>
    </message>
    <message id="cli.export">
        <source>Print the whole history as JSON, in the form of the archive file.</source>
        <translation>Print the whole history as JSON, in the form of the archive file.</translation>
    </message>
    <message id="cli.syncStatus">
        <source>Print each machine sharing the history: when it was last heard from, how many clips came from it.</source>
        <translation>Print each machine sharing the history: when it was last heard from, how many clips came from it.</translation>
    </message>
    <message id="cli.syncPassphrase">
        <source>Read the passphrase for sharing the history from the first line of standard input, and keep the key made from it (sharing.folder must be set).</source>
        <translation>Read the passphrase for sharing the history from the first line of standard input, and keep the key made from it (sharing.folder must be set).</translation>
    </message>
    <message id="cli.noPassphrase">
        <source>No passphrase on standard input, or no shared folder in the settings.</source>
        <translation>No passphrase on standard input, or no shared folder in the settings.</translation>
    </message>
    <message id="cli.clear">
        <source>Clear the history (kept clips stay).</source>
        <translation>Clear the history (kept clips stay).</translation>
    </message>
    <message id="cli.pause">
        <source>Pause recording.</source>
        <translation>Pause recording.</translation>
    </message>
    <message id="cli.resume">
        <source>Resume recording.</source>
        <translation>Resume recording.</translation>
    </message>
    <message id="cli.count">
        <source>How many clips --list prints.</source>
        <translation>How many clips --list prints.</translation>
    </message>
    <message id="cli.kept">
        <source>[kept]</source>
        <translation>[kept]</translation>
    </message>
    <message id="cli.tryHelp">
        <source>Try “quillstack --help” for more information.</source>
        <translation>Try “quillstack --help” for more information.</translation>
    </message>
    <message id="cli.oneCommand">
        <source>Give one command at a time.</source>
        <translation>Give one command at a time.</translation>
    </message>
    <message id="cli.jsonWithList">
        <source>--json only goes with --list or --sync-status.</source>
        <translation>--json only goes with --list or --sync-status.</translation>
    </message>
    <message id="cli.unexpected">
        <source>Unexpected argument: %1</source>
        <translation>Unexpected argument: %1</translation>
    </message>
    <message id="cli.badCount">
        <source>The number of clips must be a whole number from 1, not %1.</source>
        <translation>The number of clips must be a whole number from 1, not %1.</translation>
    </message>
    <message id="cli.noBus">
        <source>there is no session bus</source>
        <translation>there is no session bus</translation>
    </message>
    <message id="cli.unreachable">
        <source>No running Quillstack can be reached: %1.</source>
        <translation>No running Quillstack can be reached: %1.</translation>
    </message>
    <message id="cli.notRunning">
        <source>Quillstack is not running.</source>
        <translation>Quillstack is not running.</translation>
    </message>
    <message id="cli.noAnswer">
        <source>Quillstack did not answer within a second.</source>
        <translation>Quillstack did not answer within a second.</translation>
    </message>
    <message id="cli.failed">
        <source>The running Quillstack refused the command: %1</source>
        <translation>The running Quillstack refused the command: %1</translation>
    </message>
    <message id="cli.unknownOption">
        <source>Unknown option '%1'.</source>
        <translation>Unknown option '%1'.</translation>
    </message>
    <message id="cli.imageMissing">
        <source>The image file of that clip is missing, so the clipboard was left as it was.</source>
        <translation>The image file of that clip is missing, so the clipboard was left as it was.</translation>
    </message>
    <message id="cli.noSuchClip">
        <source>There is no clip %1.</source>
        <translation>There is no clip %1.</translation>
    </message>
    <message id="cli.noDisplay">
        <source>Quillstack needs a graphical session, but no X display could be opened (is DISPLAY set?).</source>
        <translation>Quillstack needs a graphical session, but no X display could be opened (is DISPLAY set?).</translation>
    </message>
    <message id="cli.folderInUse">
        <source>Another Quillstack is already running with the history in %1, and it cannot be reached without a session bus.</source>
        <translation>Another Quillstack is already running with the history in %1, and it cannot be reached without a session bus.</translation>
    </message>
    <message id="alert.clear.title">
        <source>Clear the clipboard history?</source>
        <translation>Clear the clipboard history?</translation>
    </message>
    <message id="alert.clear.message">
        <source>Every clip that is not kept will be removed. This cannot be undone.</source>
        <translation>Every clip that is not kept will be removed. This cannot be undone.</translation>
    </message>
    <message id="alert.clear.confirm">
        <source>Clear History</source>
        <translation>Clear History</translation>
    </message>
    <message id="alert.limit.title">
        <source>Lower the maximum number of clips to %1?</source>
        <translation>Lower the maximum number of clips to %1?</translation>
    </message>
    <message id="alert.limit.message">
        <source>Clips removed at once: %1, the oldest that are not kept. This cannot be undone.</source>
        <translation>Clips removed at once: %1, the oldest that are not kept. This cannot be undone.</translation>
    </message>
    <message id="alert.limit.confirm">
        <source>Remove Clips</source>
        <translation>Remove Clips</translation>
    </message>
    <message id="alert.deleteKept.title">
        <source>Delete this kept clip?</source>
        <translation>Delete this kept clip?</translation>
    </message>
    <message id="alert.cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="share.message">
        <source>Quillstack keeps a searchable history of everything you copy.</source>
        <translation>Quillstack keeps a searchable history of everything you copy.</translation>
    </message>
    <message id="edit.textTitle">
        <source>Edit Clip</source>
        <translation>Edit Clip</translation>
    </message>
    <message id="edit.imageTitle">
        <source>View Image</source>
        <translation>View Image</translation>
    </message>
    <message id="edit.close">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="edit.cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="edit.save">
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message id="prefs.title">
        <source>Quillstack Settings</source>
        <translation>Quillstack Settings</translation>
    </message>
    <message id="prefs.section.limits">
        <source>History Limits</source>
        <translation>History Limits</translation>
    </message>
    <message id="prefs.section.window">
        <source>Panel</source>
        <translation>Panel</translation>
    </message>
    <message id="prefs.section.general">
        <source>General</source>
        <translation>General</translation>
    </message>
    <message id="prefs.maxAge">
        <source>Keep clips for:</source>
        <translation>Keep clips for:</translation>
    </message>
    <message id="prefs.age.unlimited">
        <source>Forever</source>
        <translation>Forever</translation>
    </message>
    <message id="prefs.age.hour">
        <source>One hour</source>
        <translation>One hour</translation>
    </message>
    <message id="prefs.age.day">
        <source>One day</source>
        <translation>One day</translation>
    </message>
    <message id="prefs.age.week">
        <source>One week</source>
        <translation>One week</translation>
    </message>
    <message id="prefs.age.month">
        <source>One month</source>
        <translation>One month</translation>
    </message>
    <message id="prefs.maxCount">
        <source>Maximum number of clips:</source>
        <translation>Maximum number of clips:</translation>
    </message>
    <message id="prefs.maxClipSize">
        <source>Largest single clip:</source>
        <translation>Largest single clip:</translation>
    </message>
    <message id="prefs.maxTotalSize">
        <source>Total history size:</source>
        <translation>Total history size:</translation>
    </message>
    <message id="prefs.size.unlimited">
        <source>Unlimited</source>
        <translation>Unlimited</translation>
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
        <translation>Panel position:</translation>
    </message>
    <message id="prefs.anchor.topLeft">
        <source>Top left</source>
        <translation>Top left</translation>
    </message>
    <message id="prefs.anchor.top">
        <source>Top</source>
        <translation>Top</translation>
    </message>
    <message id="prefs.anchor.topRight">
        <source>Top right</source>
        <translation>Top right</translation>
    </message>
    <message id="prefs.anchor.left">
        <source>Left</source>
        <translation>Left</translation>
    </message>
    <message id="prefs.anchor.right">
        <source>Right</source>
        <translation>Right</translation>
    </message>
    <message id="prefs.anchor.bottomLeft">
        <source>Bottom left</source>
        <translation>Bottom left</translation>
    </message>
    <message id="prefs.anchor.bottom">
        <source>Bottom</source>
        <translation>Bottom</translation>
    </message>
    <message id="prefs.anchor.bottomRight">
        <source>Bottom right</source>
        <translation>Bottom right</translation>
    </message>
    <message id="prefs.alwaysVisible">
        <source>Keep the panel always visible</source>
        <translation>Keep the panel always visible</translation>
    </message>
    <message id="prefs.hotkey">
        <source>Open history:</source>
        <translation>Open history:</translation>
    </message>
    <message id="prefs.hotkey.pinned">
        <source>Open kept clips:</source>
        <translation>Open kept clips:</translation>
    </message>
    <message id="prefs.hotkey.desktopOwns">
        <source>Your desktop owns these shortcuts: it takes the keys above as a proposal and may ask you first.</source>
        <translation>Your desktop owns these shortcuts: it takes the keys above as a proposal and may ask you first.</translation>
    </message>
    <message id="prefs.hotkey.configure">
        <source>Desktop Shortcuts…</source>
        <translation>Desktop Shortcuts…</translation>
    </message>
    <message id="prefs.hotkey.userBinds">
        <source>This desktop does not bind shortcuts for programs: bind “quillstack --toggle” and “quillstack --toggle-pinned” to keys in your desktop's keyboard settings.</source>
        <translation>This desktop does not bind shortcuts for programs: bind “quillstack --toggle” and “quillstack --toggle-pinned” to keys in your desktop's keyboard settings.</translation>
    </message>
    <message id="prefs.launchAtLogin">
        <source>Start Quillstack at login</source>
        <translation>Start Quillstack at login</translation>
    </message>
    <message id="notice.saveFailed.title">
        <source>Quillstack cannot save the history</source>
        <translation>Quillstack cannot save the history</translation>
    </message>
    <message id="notice.saveFailed.message">
        <source>%1. Your clips are kept while Quillstack runs, and every new copy tries again. Free some disk space, or make the folder %2 writable.</source>
        <translation>%1. Your clips are kept while Quillstack runs, and every new copy tries again. Free some disk space, or make the folder %2 writable.</translation>
    </message>
    <message id="notice.saveRecovered.title">
        <source>Quillstack saves the history again</source>
        <translation>Quillstack saves the history again</translation>
    </message>
    <message id="notice.saveRecovered.message">
        <source>Your clips are on disk again.</source>
        <translation>Your clips are on disk again.</translation>
    </message>
    <message id="notice.archiveSetAside.title">
        <source>Quillstack could not read the history</source>
        <translation>Quillstack could not read the history</translation>
    </message>
    <message id="notice.archiveSetAside.message">
        <source>The history file did not load, so a new history was started. The old file was kept as %1.</source>
        <translation>The history file did not load, so a new history was started. The old file was kept as %1.</translation>
    </message>
    <message id="notice.journalSetAside.title">
        <source>Quillstack could not read all of the latest changes</source>
        <translation>Quillstack could not read all of the latest changes</translation>
    </message>
    <message id="notice.journalSetAside.message">
        <source>The history was read up to a damaged change; the changes before it were kept. The file of changes was kept as %1.</source>
        <translation>The history was read up to a damaged change; the changes before it were kept. The file of changes was kept as %1.</translation>
    </message>
    <message id="notice.foreign.title">
        <source>Quillstack leaves %1 as it is</source>
        <translation>Quillstack leaves %1 as it is</translation>
    </message>
    <message id="notice.foreign.link">
        <source>%1 is a link to another place, and Quillstack never follows links out of its folder.</source>
        <translation>%1 is a link to another place, and Quillstack never follows links out of its folder.</translation>
    </message>
    <message id="notice.foreign.archiveFolder">
        <source>%1 is a folder, not Quillstack&apos;s history file.</source>
        <translation>%1 is a folder, not Quillstack&apos;s history file.</translation>
    </message>
    <message id="notice.foreign.journalFolder">
        <source>%1 is a folder, not Quillstack&apos;s journal.</source>
        <translation>%1 is a folder, not Quillstack&apos;s journal.</translation>
    </message>
    <message id="notice.foreign.file">
        <source>%1 is a file, not Quillstack&apos;s folder.</source>
        <translation>%1 is a file, not Quillstack&apos;s folder.</translation>
    </message>
    <message id="notice.foreign.special">
        <source>%1 is not a plain file.</source>
        <translation>%1 is not a plain file.</translation>
    </message>
    <message id="notice.foreign.images">
        <source>Copied images are not saved until it is moved away.</source>
        <translation>Copied images are not saved until it is moved away.</translation>
    </message>
    <message id="notice.foreign.history">
        <source>Your clips are kept while Quillstack runs, but not saved until it is moved away.</source>
        <translation>Your clips are kept while Quillstack runs, but not saved until it is moved away.</translation>
    </message>
    <message id="notice.shortcutTaken.title">
        <source>Shortcut %1 is not available</source>
        <translation>Shortcut %1 is not available</translation>
    </message>
    <message id="notice.shortcutTaken.message">
        <source>Another program already uses %1, so it does not open Quillstack. Choose another shortcut in Quillstack's preferences, or free it in the other program.</source>
        <translation>Another program already uses %1, so it does not open Quillstack. Choose another shortcut in Quillstack's preferences, or free it in the other program.</translation>
    </message>
    <message id="notice.imageMissing.title">
        <source>The image cannot be copied</source>
        <translation>The image cannot be copied</translation>
    </message>
    <message id="notice.imageMissing.message">
        <source>Its file %1 is missing, so the clipboard was left as it was.</source>
        <translation>Its file %1 is missing, so the clipboard was left as it was.</translation>
    </message>
    <message id="notice.clipboardUnavailable.title">
        <source>Quillstack cannot see copies</source>
        <translation>Quillstack cannot see copies</translation>
    </message>
    <message id="notice.clipboardUnavailable.message">
        <source>Reading the clipboard failed (%1): copies are not recorded. Restart Quillstack in your desktop session.</source>
        <translation>Reading the clipboard failed (%1): copies are not recorded. Restart Quillstack in your desktop session.</translation>
    </message>
    <message id="notice.shortcutsUnavailable.title">
        <source>Global shortcuts are not available</source>
        <translation>Global shortcuts are not available</translation>
    </message>
    <message id="notice.shortcutsUnavailable.message">
        <source>Quillstack could not set up its shortcuts (%1). Open the history from the tray icon instead.</source>
        <translation>Quillstack could not set up its shortcuts (%1). Open the history from the tray icon instead.</translation>
    </message>
    <message id="notice.gnomeCompanion.title">
        <source>Copies in GNOME’s Wayland programs are missed</source>
        <translation>Copies in GNOME’s Wayland programs are missed</translation>
    </message>
    <message id="notice.gnomeCompanion.message">
        <source>GNOME shows Quillstack copies made in Wayland programs only while one of its windows has the keyboard. Enable its GNOME Shell companion with “%1”, then log out and in again.</source>
        <translation>GNOME shows Quillstack copies made in Wayland programs only while one of its windows has the keyboard. Enable its GNOME Shell companion with “%1”, then log out and in again.</translation>
    </message>
    <message id="portal.refused">
        <source>the desktop did not allow them; bind “quillstack --toggle” in its keyboard settings</source>
        <translation>the desktop did not allow them; bind “quillstack --toggle” in its keyboard settings</translation>
    </message>
    <message id="prefs.keepClipboard">
        <source>Keep the clipboard when its program quits</source>
        <translation>Keep the clipboard when its program quits</translation>
    </message>
    <message id="edit.find">
        <source>Find in text</source>
        <translation>Find in text</translation>
    </message>
    <message id="share.copy">
        <source>Copy Text and Link</source>
        <translation>Copy Text and Link</translation>
    </message>
    <message id="share.mail">
        <source>Send by Email…</source>
        <translation>Send by Email…</translation>
    </message>
    <message id="share.subject">
        <source>Quillstack, a clipboard history</source>
        <translation>Quillstack, a clipboard history</translation>
    </message>
    <message id="notice.mailUnavailable.title">
        <source>No email program to send from</source>
        <translation>No email program to send from</translation>
    </message>
    <message id="notice.mailUnavailable.message">
        <source>The desktop has no program for email links. Use “Copy Text and Link” and paste it into a message; the address is %1.</source>
        <translation>The desktop has no program for email links. Use “Copy Text and Link” and paste it into a message; the address is %1.</translation>
    </message>
    <message id="notice.sharing.title">
        <source>Sharing the history</source>
        <translation>Sharing the history</translation>
    </message>
    <message id="notice.sharing.noPassphrase">
        <source>Sharing is on, but the passphrase was not entered on this machine yet. Enter it in the settings.</source>
        <translation>Sharing is on, but the passphrase was not entered on this machine yet. Enter it in the settings.</translation>
    </message>
    <message id="notice.sharing.wrongPassphrase">
        <source>Another machine shares this folder with a different passphrase; its history is not read.</source>
        <translation>Another machine shares this folder with a different passphrase; its history is not read.</translation>
    </message>
    <message id="notice.sharing.cannotWrite">
        <source>Your history could not be shared: %1</source>
        <translation>Your history could not be shared: %1</translation>
    </message>
    <message id="prefs.section.sharing">
        <source>Your other machines</source>
        <translation>Your other machines</translation>
    </message>
    <message id="prefs.sharing.enabled">
        <source>Share history with my other machines</source>
        <translation>Share history with my other machines</translation>
    </message>
    <message id="prefs.sharing.chooseFolder">
        <source>Choose…</source>
        <translation>Choose…</translation>
    </message>
    <message id="prefs.sharing.folder">
        <source>Shared folder:</source>
        <translation>Shared folder:</translation>
    </message>
    <message id="prefs.sharing.scope">
        <source>Share:</source>
        <translation>Share:</translation>
    </message>
    <message id="prefs.sharing.scope.kept">
        <source>Kept clips only</source>
        <translation>Kept clips only</translation>
    </message>
    <message id="prefs.sharing.scope.all">
        <source>Every clip</source>
        <translation>Every clip</translation>
    </message>
    <message id="prefs.sharing.passphrase">
        <source>Passphrase:</source>
        <translation>Passphrase:</translation>
    </message>
    <message id="prefs.sharing.setPassphrase">
        <source>Set</source>
        <translation>Set</translation>
    </message>
    <message id="prefs.sharing.keySet">
        <source>The passphrase is set on this machine. Everything in the shared folder is encrypted with it.</source>
        <translation>The passphrase is set on this machine. Everything in the shared folder is encrypted with it.</translation>
    </message>
    <message id="prefs.sharing.makingKey">
        <source>Making the key from the passphrase…</source>
        <translation>Making the key from the passphrase…</translation>
    </message>
    <message id="prefs.sharing.noPassphrase">
        <source>Enter the passphrase your other machines use (or a new one for the first machine). Only a key made from it is kept.</source>
        <translation>Enter the passphrase your other machines use (or a new one for the first machine). Only a key made from it is kept.</translation>
    </message>
    <message id="prefs.sharing.needFolderAndPassphrase">
        <source>Choose the shared folder first, then enter the passphrase.</source>
        <translation>Choose the shared folder first, then enter the passphrase.</translation>
    </message>
    <message id="prefs.sharing.machines">
        <source>Machines:</source>
        <translation>Machines:</translation>
    </message>
    <message id="prefs.sharing.noMachines">
        <source>No other machine yet</source>
        <translation>No other machine yet</translation>
    </message>
    <message id="prefs.sharing.never">
        <source>never</source>
        <translation>never</translation>
    </message>
    <message id="prefs.sharing.machine">
        <source>%1: last heard from %2, %3 clips</source>
        <translation>%1: last heard from %2, %3 clips</translation>
    </message>
    <message id="prefs.sharing.machineWrongPassphrase">
        <source>another passphrase</source>
        <translation>another passphrase</translation>
    </message>
    <message id="prefs.sharing.machineDamaged">
        <source>some lines are damaged</source>
        <translation>some lines are damaged</translation>
    </message>
    <message id="prefs.pasteAfterChoosing">
        <source>Paste after choosing</source>
        <translation>Paste after choosing</translation>
    </message>
    <message id="paste.unavailable.desktop">
        <source>This desktop lets no program press keys for another.</source>
        <translation>This desktop lets no program press keys for another.</translation>
    </message>
    <message id="paste.unavailable.xtest">
        <source>The X server has no XTEST extension to press keys with.</source>
        <translation>The X server has no XTEST extension to press keys with.</translation>
    </message>
    <message id="paste.unavailable.virtualKeyboard">
        <source>The compositor offers no virtual keyboard to press keys with.</source>
        <translation>The compositor offers no virtual keyboard to press keys with.</translation>
    </message>
    <message id="paste.unavailable.kwin">
        <source>KWin lets only programs it trusts press keys.</source>
        <translation>KWin lets only programs it trusts press keys.</translation>
    </message>
    <message id="paste.failed.noWindow">
        <source>No other window had the keyboard before the history.</source>
        <translation>No other window had the keyboard before the history.</translation>
    </message>
    <message id="paste.failed.noFocus">
        <source>The window did not get the keyboard back within a second.</source>
        <translation>The window did not get the keyboard back within a second.</translation>
    </message>
    <message id="paste.failed.noKey">
        <source>The keyboard layout has no key for V.</source>
        <translation>The keyboard layout has no key for V.</translation>
    </message>
    <message id="paste.failed.gnomeShell">
        <source>GNOME Shell did not press the keys: %1</source>
        <translation>GNOME Shell did not press the keys: %1</translation>
    </message>
    <message id="notice.pasteFailed.title">
        <source>Quillstack could not paste</source>
        <translation>Quillstack could not paste</translation>
    </message>
    <message id="notice.pasteFailed.message">
        <source>The clip is on the clipboard: paste it with Ctrl+V. %1</source>
        <translation>The clip is on the clipboard: paste it with Ctrl+V. %1</translation>
    </message>
</context>
</TS>
