// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's logic, shared by the entry points of every GNOME version.
// It imports nothing: the shell's libraries come in through `env`, so that
// the same code runs inside the shell and under Node against fakes.
//
// env: { Gio, GLib, GObject, Meta, Clutter, Shell, Main, global,
//        bus (the session bus connection), settings (Gio.Settings of our
//        schema), interfaceXml (io.github.quillstack.Shell1.xml),
//        keybindingSchemas (schema ids whose chords are taken; optional),
//        readDeadlineMs (optional) }

export const SHELL_NAME = 'io.github.quillstack.Shell';
export const SHELL_PATH = '/io/github/quillstack/Shell';
export const SHELL_INTERFACE = 'io.github.quillstack.Shell1';
export const QUILLSTACK_NAME = 'io.github.quillstack.Quillstack';
export const SOURCE_PATH = '/io/github/quillstack/ShellSource';
export const SOURCE_INTERFACE = 'io.github.quillstack.ShellSource1';
export const VERSION = 2;
export const SHORTCUTS = ['open-history', 'open-kept'];

const ERROR_ACCESS_DENIED = 'org.freedesktop.DBus.Error.AccessDenied';
const ERROR_INVALID_ARGS = 'org.freedesktop.DBus.Error.InvalidArgs';
const ERROR_FAILED = 'org.freedesktop.DBus.Error.Failed';
const ERROR_STALE = `${SHELL_INTERFACE}.Error.Stale`;
const ERROR_NOT_OFFERED = `${SHELL_INTERFACE}.Error.NotOffered`;
const DEFAULT_READ_DEADLINE_MS = 5000;
const SEND_TIMEOUT_MS = 5000;

// The schemas whose chords belong to the shell and the window manager: a
// shortcut of ours on one of them would silently take it over.
export const DEFAULT_KEYBINDING_SCHEMAS = [
    'org.gnome.desktop.wm.keybindings',
    'org.gnome.shell.keybindings',
    'org.gnome.mutter.keybindings',
    'org.gnome.mutter.wayland.keybindings',
    'org.gnome.settings-daemon.plugins.media-keys',
];

const MODIFIER_ALIASES = new Map([
    ['control', 'control'], ['ctrl', 'control'], ['ctl', 'control'], ['primary', 'control'],
    ['shift', 'shift'], ['alt', 'alt'], ['mod1', 'alt'], ['super', 'super'], ['mod4', 'super'],
    ['meta', 'meta'], ['hyper', 'hyper'],
]);

// One spelling of a GTK accelerator, so that "<Ctrl><Shift>V" and
// "<Shift><Primary>v" compare equal; null when it is not one.
export function normalizeAccelerator(accel) {
    const match = /^((?:<[A-Za-z0-9]+>)*)([^<>]+)$/.exec(accel.trim());
    if (!match)
        return null;
    const modifiers = new Set();
    for (const [, name] of match[1].matchAll(/<([A-Za-z0-9]+)>/g)) {
        const modifier = MODIFIER_ALIASES.get(name.toLowerCase());
        if (!modifier)
            return null;
        modifiers.add(modifier);
    }
    return [...modifiers].sort().map(m => `<${m}>`).join('') + match[2].toLowerCase();
}

// The descriptor at index of a message's list, taken out of the list: the
// list lives as long as the script's garbage keeps the message, and a copy
// left open there would keep the reader from ever seeing the pipe's end.
// The others are closed; -1 when there is none at index.
function takeFd(GLib, fdList, index) {
    let fds = [];
    try {
        fds = fdList ? fdList.steal_fds() : [];
    } catch {
        fds = [];
    }
    fds.forEach((fd, i) => {
        if (i !== index)
            GLib.close(fd);
    });
    return fds[index] ?? -1;
}

// Meta.SelectionSource is a GObject class; the subclass is made once per
// set of libraries, when the first offer needs it. Its read_async takes a
// callback, which GJS 1.74 (GNOME 43) cannot implement in JavaScript: there
// the class cannot be made and this answers null.
const sourceClasses = new WeakMap();
function selectionSourceClass(env) {
    if (sourceClasses.has(env.Meta))
        return sourceClasses.get(env.Meta);
    const {Gio, GLib, GObject, Meta} = env;
    let cls = null;
    try {
        cls = GObject.registerClass({GTypeName: 'QuillstackSelectionSource'},
            class QuillstackSelectionSource extends Meta.SelectionSource {
                _init(mimeTypes, fetch) {
                    super._init();
                    this._mimeTypes = mimeTypes;
                    this._fetch = fetch;
                    // Each finished read's stream, until the reader collects it.
                    this._results = new Map();
                }

                vfunc_get_mimetypes() {
                    return this._mimeTypes;
                }

                vfunc_read_async(mimeType, cancellable, callback) {
                    const task = Gio.Task.new(this, cancellable, callback);
                    this._fetch(mimeType, cancellable, (stream, message) => {
                        if (stream) {
                            this._results.set(task, stream);
                            task.return_boolean(true);
                        } else {
                            task.return_error(new GLib.Error(Gio.IOErrorEnum,
                                Gio.IOErrorEnum.FAILED, message));
                        }
                    });
                }

                vfunc_read_finish(result) {
                    const stream = this._results.get(result);
                    this._results.delete(result);
                    result.propagate_boolean();
                    return stream;
                }
            });
    } catch (e) {
        console.info(`Quillstack: offers are fetched when made (${e.message})`);
    }
    sourceClasses.set(env.Meta, cls);
    return cls;
}

export class Companion {
    constructor(env) {
        this._env = env;
        this._deadlineMs = env.readDeadlineMs ?? DEFAULT_READ_DEADLINE_MS;
        this._keybindingSchemas = env.keybindingSchemas ?? DEFAULT_KEYBINDING_SCHEMAS;
        this._serial = 0;
        this._mimeTypes = [];
        this._ownSource = null;
        this._quillstack = null; // the unique name owning QUILLSTACK_NAME
        this._reads = new Set(); // {cancellable, timeoutId, stream}
        this._bound = new Set(); // the shortcuts added to the window manager
        this._keyboard = null;
        this._offers = 0; // counts SetClipboard calls, so a slow fetch cannot win over a later one
    }

    enable() {
        const {Gio, Meta, bus, global} = this._env;
        const info = Gio.DBusNodeInfo.new_for_xml(this._env.interfaceXml);
        this._interfaceInfo = info.lookup_interface(SHELL_INTERFACE);
        this._registrationId = bus.register_object(SHELL_PATH,
            this._interfaceInfo, this._onMethodCall.bind(this),
            this._onGetProperty.bind(this), () => false);
        this._watchId = Gio.bus_watch_name_on_connection(bus, QUILLSTACK_NAME,
            Gio.BusNameWatcherFlags.NONE,
            (connection, name, owner) => {
                this._quillstack = owner;
            },
            () => {
                this._quillstack = null;
            });
        this._ownId = Gio.bus_own_name_on_connection(bus, SHELL_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);

        this._selection = global.display.get_selection();
        this._ownerChangedId = this._selection.connect('owner-changed',
            (selection, type, source) => {
                if (type === Meta.SelectionType.SELECTION_CLIPBOARD)
                    this._clipboardChanged(source);
            });
        this._mimeTypes = this._selection.get_mimetypes(Meta.SelectionType.SELECTION_CLIPBOARD);
        // Told as it happens, so that opening the panel waits on nothing.
        this._focusChangedId = global.display.connect('notify::focus-window', () => {
            const [id, , , pid] = this._focusedWindow();
            this._emit('FocusedWindowChanged', new this._env.GLib.Variant('(tu)', [id, pid]));
        });
    }

    disable() {
        const {Gio, Meta, Main, bus} = this._env;
        for (const name of this._bound)
            Main.wm.removeKeybinding(name);
        this._bound.clear();
        this._offers += 1;
        for (const read of [...this._reads]) {
            read.cancellable.cancel();
            this._finishRead(read);
        }
        if (this._ownSource) {
            this._selection.unset_owner(Meta.SelectionType.SELECTION_CLIPBOARD, this._ownSource);
            this._ownSource = null;
        }
        this._selection.disconnect(this._ownerChangedId);
        this._env.global.display.disconnect(this._focusChangedId);
        Gio.bus_unown_name(this._ownId);
        Gio.bus_unwatch_name(this._watchId);
        bus.unregister_object(this._registrationId);
        this._keyboard = null;
        this._quillstack = null;
    }

    _clipboardChanged(source) {
        const {GLib, Meta} = this._env;
        this._serial += 1;
        this._mimeTypes = source
            ? this._selection.get_mimetypes(Meta.SelectionType.SELECTION_CLIPBOARD) : [];
        const ours = source !== null && source === this._ownSource;
        if (!ours)
            this._ownSource = null;
        this._emit('ClipboardChanged',
            new GLib.Variant('(uasb)', [this._serial, this._mimeTypes, ours]));
    }

    // Signals go to Quillstack's unique name alone, never to the whole bus.
    _emit(name, parameters) {
        if (!this._quillstack)
            return;
        this._env.bus.emit_signal(this._quillstack, SHELL_PATH, SHELL_INTERFACE, name,
            parameters);
    }

    _onGetProperty(connection, sender, path, interfaceName, property) {
        if (property === 'Version')
            return new this._env.GLib.Variant('u', VERSION);
        if (property === 'OffersEveryType')
            return new this._env.GLib.Variant('b', selectionSourceClass(this._env) !== null);
        return null;
    }

    _onMethodCall(connection, sender, path, interfaceName, method, parameters, invocation) {
        const handler = this._methods[method];
        if (!handler) {
            invocation.return_dbus_error('org.freedesktop.DBus.Error.UnknownMethod', method);
            return;
        }
        this._authorize(sender, allowed => {
            if (!allowed) {
                // A descriptor sent along is closed now, not when collected.
                takeFd(this._env.GLib, invocation.get_message().get_unix_fd_list(), -1);
                invocation.return_dbus_error(ERROR_ACCESS_DENIED,
                    `Only ${QUILLSTACK_NAME} may call ${method}`);
                return;
            }
            handler.call(this, parameters.deepUnpack(), invocation);
        });
    }

    // The name watch can lag behind a caller that has just taken the name:
    // before refusing, ask the bus who owns it now.
    _authorize(sender, then) {
        if (sender && sender === this._quillstack) {
            then(true);
            return;
        }
        const {GLib, Gio, bus} = this._env;
        bus.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetNameOwner', new GLib.Variant('(s)', [QUILLSTACK_NAME]),
            new GLib.VariantType('(s)'), Gio.DBusCallFlags.NONE, -1, null,
            (connection, result) => {
                let owner = null;
                try {
                    [owner] = connection.call_finish(result).deepUnpack();
                } catch {
                    owner = null;
                }
                if (owner)
                    this._quillstack = owner;
                then(owner !== null && owner === sender);
            });
    }

    get _methods() {
        return {
            GetClipboard: this._getClipboard,
            ReadClipboard: this._readClipboard,
            SetClipboard: this._setClipboard,
            GetFocusedWindow: this._getFocusedWindow,
            ActivateWindow: this._activateWindow,
            SetShortcuts: this._setShortcuts,
            PressChord: this._pressChord,
        };
    }

    _getClipboard(args, invocation) {
        const ours = this._ownSource !== null;
        invocation.return_value(new this._env.GLib.Variant('(uasb)',
            [this._serial, this._mimeTypes, ours]));
    }

    _readClipboard([serial, mimeType, fdIndex], invocation) {
        const {Gio, GLib, Meta} = this._env;
        const fd = takeFd(GLib, invocation.get_message().get_unix_fd_list(), fdIndex);
        if (fd < 0) {
            invocation.return_dbus_error(ERROR_INVALID_ARGS, 'No file descriptor');
            return;
        }
        // The stream owns the descriptor from here on and closes it.
        const stream = Gio.UnixOutputStream.new(fd, true);
        if (serial !== this._serial) {
            stream.close(null);
            invocation.return_dbus_error(ERROR_STALE,
                `Serial ${serial} is not the current owner's (${this._serial})`);
            return;
        }
        if (!this._mimeTypes.includes(mimeType)) {
            stream.close(null);
            invocation.return_dbus_error(ERROR_NOT_OFFERED, `${mimeType} is not offered`);
            return;
        }
        invocation.return_value(null);

        const read = {cancellable: new Gio.Cancellable(), stream, timeoutId: 0};
        this._reads.add(read);
        // A pasting program that never answers must not hold the pipe open.
        read.timeoutId = GLib.timeout_add(GLib.PRIORITY_DEFAULT, this._deadlineMs, () => {
            read.timeoutId = 0;
            read.cancellable.cancel();
            this._finishRead(read);
            return GLib.SOURCE_REMOVE;
        });
        this._selection.transfer_async(Meta.SelectionType.SELECTION_CLIPBOARD, mimeType, -1,
            stream, read.cancellable, (selection, result) => {
                try {
                    selection.transfer_finish(result);
                } catch (e) {
                    // The type's name at most: never the contents.
                    if (!read.cancellable.is_cancelled())
                        console.warn(`Quillstack: reading ${mimeType} failed: ${e.message}`);
                }
                this._finishRead(read);
            });
    }

    _finishRead(read) {
        if (!this._reads.delete(read))
            return;
        if (read.timeoutId)
            this._env.GLib.source_remove(read.timeoutId);
        try {
            read.stream?.close(null);
        } catch {
            // Closed already, or the reader went away: either way it is done.
        }
    }

    _setClipboard([mimeTypes, token], invocation) {
        const {GLib, Meta} = this._env;
        const offer = ++this._offers;
        const own = source => {
            this._ownSource = source;
            // The owner-changed handler runs inside set_owner and counts the serial.
            this._selection.set_owner(Meta.SelectionType.SELECTION_CLIPBOARD, source);
            invocation.return_value(new GLib.Variant('(u)', [this._serial]));
        };
        const Source = selectionSourceClass(this._env);
        if (Source) {
            own(new Source(mimeTypes,
                (mimeType, cancellable, done) => this._send(token, mimeType, cancellable, done)));
            return;
        }
        // Where the shell cannot ask as a program pastes, the offer is its
        // first type, fetched now and held by the shell.
        if (mimeTypes.length === 0) {
            invocation.return_dbus_error(ERROR_INVALID_ARGS, 'Nothing offered');
            return;
        }
        this._fetchBytes(token, mimeTypes[0], (bytes, message) => {
            if (offer !== this._offers)
                invocation.return_dbus_error(ERROR_STALE, 'A later offer replaced this one');
            else if (!bytes)
                invocation.return_dbus_error(ERROR_FAILED, message);
            else
                own(Meta.SelectionSourceMemory.new(mimeTypes[0], bytes));
        });
    }

    // All the bytes Quillstack sends for one type, within the deadline.
    _fetchBytes(token, mimeType, done) {
        const {Gio, GLib} = this._env;
        const read = {cancellable: new Gio.Cancellable(), stream: null, timeoutId: 0};
        this._reads.add(read);
        read.timeoutId = GLib.timeout_add(GLib.PRIORITY_DEFAULT, this._deadlineMs, () => {
            read.timeoutId = 0;
            read.cancellable.cancel();
            return GLib.SOURCE_REMOVE;
        });
        this._send(token, mimeType, read.cancellable, (stream, message) => {
            if (!stream) {
                this._finishRead(read);
                done(null, message);
                return;
            }
            read.stream = stream;
            const memory = Gio.MemoryOutputStream.new_resizable();
            memory.splice_async(stream, Gio.OutputStreamSpliceFlags.CLOSE_SOURCE |
                Gio.OutputStreamSpliceFlags.CLOSE_TARGET, GLib.PRIORITY_DEFAULT,
            read.cancellable, (out, result) => {
                let bytes = null;
                try {
                    out.splice_finish(result);
                    bytes = out.steal_as_bytes();
                } catch (e) {
                    message = e.message;
                }
                this._finishRead(read);
                done(bytes, message);
            });
        });
    }

    // Asks Quillstack for the bytes of one type of its offer, as a program
    // pastes; done(stream) with the pipe's read end, or done(null, message).
    _send(token, mimeType, cancellable, done) {
        const {Gio, GLib, bus} = this._env;
        if (!this._quillstack) {
            done(null, 'Quillstack is not running');
            return;
        }
        bus.call_with_unix_fd_list(this._quillstack, SOURCE_PATH, SOURCE_INTERFACE, 'Send',
            new GLib.Variant('(us)', [token, mimeType]), new GLib.VariantType('(h)'),
            Gio.DBusCallFlags.NONE, SEND_TIMEOUT_MS, null, cancellable,
            (connection, result) => {
                try {
                    const [reply, fdList] = connection.call_with_unix_fd_list_finish(result);
                    const [index] = reply.deepUnpack();
                    const fd = takeFd(GLib, fdList, index);
                    if (fd < 0)
                        throw new Error('No file descriptor');
                    done(Gio.UnixInputStream.new(fd, true));
                } catch (e) {
                    done(null, e.message);
                }
            });
    }

    // [id, wmClass, sandboxedAppId, pid] of the window with the keyboard.
    _focusedWindow() {
        const window = this._env.global.display.focus_window;
        if (!window)
            return [0, '', '', 0];
        const pid = window.get_pid();
        return [window.get_id(), window.get_wm_class() ?? '',
            window.get_sandboxed_app_id() ?? '', pid > 0 ? pid : 0];
    }

    _getFocusedWindow(args, invocation) {
        invocation.return_value(new this._env.GLib.Variant('(tssu)', this._focusedWindow()));
    }

    _activateWindow([id], invocation) {
        const {GLib, Main, global} = this._env;
        const actor = global.get_window_actors().find(a => a.meta_window.get_id() === id);
        if (actor)
            Main.activateWindow(actor.meta_window);
        invocation.return_value(new GLib.Variant('(b)', [actor !== undefined]));
    }

    // The chord each shortcut schema of the shell and window manager holds.
    _takenChords() {
        const {Gio} = this._env;
        const taken = new Set();
        const schemas = Gio.SettingsSchemaSource.get_default();
        for (const id of this._keybindingSchemas) {
            const schema = schemas?.lookup(id, true);
            if (!schema)
                continue;
            const settings = new Gio.Settings({settings_schema: schema});
            for (const key of schema.list_keys()) {
                if (schema.get_key(key).get_value_type().dup_string() !== 'as')
                    continue;
                for (const accel of settings.get_strv(key)) {
                    const chord = normalizeAccelerator(accel);
                    if (chord)
                        taken.add(chord);
                }
            }
        }
        return taken;
    }

    _setShortcuts([openHistory, openKept], invocation) {
        const {GLib, Main, Meta, Shell, settings} = this._env;
        const wanted = [openHistory, openKept];
        for (const name of this._bound)
            Main.wm.removeKeybinding(name);
        this._bound.clear();
        const taken = wanted.some(a => a) ? this._takenChords() : new Set();
        const refused = [];
        const chosen = new Set();
        SHORTCUTS.forEach((name, i) => {
            const accel = wanted[i];
            const chord = accel ? normalizeAccelerator(accel) : null;
            if (!accel) {
                settings.set_strv(name, []);
                return;
            }
            if (!chord || taken.has(chord) || chosen.has(chord)) {
                settings.set_strv(name, []);
                refused.push(name);
                return;
            }
            settings.set_strv(name, [accel]);
            const action = Main.wm.addKeybinding(name, settings, Meta.KeyBindingFlags.NONE,
                Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW,
                () => {
                    const [id, , , pid] = this._focusedWindow();
                    this._emit('ShortcutActivated', new GLib.Variant('(stu)', [name, id, pid]));
                });
            if (action === Meta.KeyBindingAction.NONE) {
                settings.set_strv(name, []);
                refused.push(name);
                return;
            }
            chosen.add(chord);
            this._bound.add(name);
        });
        invocation.return_value(new GLib.Variant('(as)', [refused]));
    }

    _pressChord([keysyms], invocation) {
        const {Clutter, GLib} = this._env;
        if (!this._keyboard) {
            const seat = Clutter.get_default_backend().get_default_seat();
            this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        }
        let time = GLib.get_monotonic_time();
        for (const keysym of keysyms)
            this._keyboard.notify_keyval(time++, keysym, Clutter.KeyState.PRESSED);
        for (const keysym of [...keysyms].reverse())
            this._keyboard.notify_keyval(time++, keysym, Clutter.KeyState.RELEASED);
        invocation.return_value(null);
    }
}
