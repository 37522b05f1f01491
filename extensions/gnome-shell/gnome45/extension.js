// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's entry point for GNOME 45 and later, which load extensions
// as ES modules; the logic is in core.mjs, shared with GNOME 43 and 44.
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import GObject from 'gi://GObject';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

import {Companion} from './core.mjs';

export default class QuillstackExtension extends Extension {
    enable() {
        const [, xml] = GLib.file_get_contents(`${this.path}/io.github.quillstack.Shell1.xml`);
        this._companion = new Companion({
            Clutter, Gio, GLib, GObject, Meta, Shell, Main, global,
            bus: Gio.DBus.session,
            settings: this.getSettings(),
            interfaceXml: new TextDecoder().decode(xml),
        });
        this._companion.enable();
    }

    disable() {
        this._companion?.disable();
        this._companion = null;
    }
}
