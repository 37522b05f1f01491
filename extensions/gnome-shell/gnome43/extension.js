// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's entry point for GNOME 43 and 44, which load extensions
// through `imports`; the logic is in core.mjs, shared with GNOME 45 and later.
/* exported init */
const {Clutter, Gio, GLib, GObject, Meta, Shell} = imports.gi;
const ExtensionUtils = imports.misc.extensionUtils;
const Main = imports.ui.main;

class Extension {
    enable() {
        const me = ExtensionUtils.getCurrentExtension();
        const enabling = {};
        this._enabling = enabling;
        const [, xml] = GLib.file_get_contents(`${me.path}/io.github.quillstack.Shell1.xml`);
        // core.mjs is an ES module: these versions reach it by a dynamic import.
        import(GLib.filename_to_uri(`${me.path}/core.mjs`, null)).then(core => {
            if (this._enabling !== enabling)
                return;
            this._companion = new core.Companion({
                Clutter, Gio, GLib, GObject, Meta, Shell, Main, global,
                bus: Gio.DBus.session,
                settings: ExtensionUtils.getSettings(),
                interfaceXml: new TextDecoder().decode(xml),
            });
            this._companion.enable();
        }).catch(e => logError(e, 'Quillstack'));
    }

    disable() {
        this._enabling = null;
        this._companion?.disable();
        this._companion = null;
    }
}

function init() {
    return new Extension();
}
