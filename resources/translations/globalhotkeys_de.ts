<?xml version="1.0" encoding="utf-8"?>
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name></name>
    <message id="space_key">
        <source>space</source>
        <translation>Leertaste</translation>
    </message>
    <message id="super_key">
        <source>Super</source>
        <translation>Super</translation>
    </message>
    <message id="record_shortcut">
        <source>Record Shortcut</source>
        <translation>Tastenkürzel aufnehmen</translation>
    </message>
    <message id="press_shortcut">
        <source>Press Shortcut</source>
        <translation>Tastenkürzel drücken</translation>
    </message>
    <message id="keyboard_shortcut_used_by_menu_item">
        <source>This keyboard shortcut cannot be used because the menu item “%1” already uses it.</source>
        <translation>Dieses Tastenkürzel kann nicht verwendet werden, weil der Menüeintrag „%1“ es bereits verwendet.</translation>
    </message>
    <message id="keyboard_shortcut_used_by_other_name">
        <source>This keyboard shortcut cannot be used because “%1” already uses it.</source>
        <translation>Dieses Tastenkürzel kann nicht verwendet werden, weil „%1“ es bereits verwendet.</translation>
    </message>
    <message id="keyboard_shortcut_disallowed">
        <source>Add Ctrl, Alt or Super to the key; only F1 to F35 work alone.</source>
        <translation>Dieses Tastenkürzel kann nicht verwendet werden: Fügen Sie Strg oder Super hinzu.</translation>
    </message>
    <message id="keyboard_shortcut_used_by_system">
        <source>This keyboard shortcut cannot be used because another program or the desktop already uses it.</source>
        <translation>Dieses Tastenkürzel kann nicht verwendet werden, weil das System es bereits verwendet.</translation>
    </message>
    <message id="keyboard_shortcuts_can_be_changed">
        <source>Most system-wide keyboard shortcuts can be changed in your desktop's keyboard settings. If you use it anyway, it works only while the other program does not hold it.</source>
        <translation>Die meisten systemweiten Tastenkürzel lassen sich in den Tastatureinstellungen Ihrer Arbeitsumgebung ändern.</translation>
    </message>
    <message id="ok">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="force_use_shortcut">
        <source>Use Anyway</source>
        <translation>Trotzdem verwenden</translation>
    </message>
</context>
</TS>
