// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's logic against small stand-ins for the shell's libraries:
// who may call it, what it tells whom, and what it asks of the shell.
import assert from 'node:assert/strict';
import {register} from 'node:module';
import test from 'node:test';

import {Companion, normalizeAccelerator} from '../core.mjs';

const QUILLSTACK = ':1.7';
const STRANGER = ':1.9';
const CLIPBOARD = 1;
const PRIMARY = 0;

class Variant {
    constructor(signature, value) {
        this.signature = signature;
        this.value = value;
    }

    deepUnpack() {
        return this.value;
    }
}

class Stream {
    constructor(fd) {
        this.fd = fd;
        this.closes = 0;
    }

    close() {
        this.closes += 1;
    }
}

class Cancellable {
    cancelled = false;
    cancel() {
        this.cancelled = true;
    }

    is_cancelled() {
        return this.cancelled;
    }
}

class SelectionSource {
    _init() {}
    constructor(...args) {
        this._init(...args);
    }

    get_mimetypes() {
        return this.vfunc_get_mimetypes();
    }
}

// A session: the bus, the selection, the window manager and the settings,
// each recording what the companion did to it.
// entryPoint: the companion is left to an entry point to make.
function session({owner = QUILLSTACK, takenChords = [], addKeybindingFails = false,
    lazySources = true, entryPoint = false} = {}) {
    const s = {
        owner, signals: [], timers: new Map(), nextTimer: 1, keybindings: new Map(),
        settings: new Map(), activated: [], keyEvents: [], transfers: [], sends: [], splices: [],
        focus: null, windows: [],
    };
    const handlers = [];
    let clipboardOwner = null;
    s.selection = {
        connect(name, handler) {
            handlers.push(handler);
            return handlers.length;
        },
        disconnect(id) {
            handlers[id - 1] = null;
        },
        get_mimetypes(type) {
            return type === CLIPBOARD && clipboardOwner ? clipboardOwner.get_mimetypes() : [];
        },
        set_owner(type, source) {
            if (type === CLIPBOARD)
                clipboardOwner = source;
            for (const h of handlers)
                h?.(s.selection, type, source);
        },
        unset_owner(type, source) {
            if (clipboardOwner === source)
                s.selection.set_owner(type, null);
        },
        transfer_async(type, mimeType, size, stream, cancellable, callback) {
            s.transfers.push({mimeType, stream, cancellable,
                finish: error => callback(s.selection, {error})});
        },
        transfer_finish(result) {
            if (result.error)
                throw new Error(result.error);
        },
    };
    s.copy = (...mimeTypes) => s.selection.set_owner(CLIPBOARD,
        {get_mimetypes: () => mimeTypes});
    s.fireTimers = () => {
        for (const [id, fn] of [...s.timers]) {
            s.timers.delete(id);
            fn();
        }
    };
    s.bus = {
        register_object(path, info, methodCall, getProperty) {
            s.methodCall = methodCall;
            s.getProperty = getProperty;
            return 1;
        },
        unregister_object() {},
        emit_signal(destination, path, iface, name, parameters) {
            s.signals.push({destination, name, args: parameters.value});
        },
        call(dest, path, iface, method, params, type, flags, timeout, cancellable, callback) {
            assert.equal(method, 'GetNameOwner');
            callback({call_finish: () => {
                if (!s.owner)
                    throw new Error('NameHasNoOwner');
                return new Variant('(s)', [s.owner]);
            }}, null);
        },
        call_with_unix_fd_list(dest, path, iface, method, params, type, flags, timeout, fds,
            cancellable, callback) {
            s.sends.push({dest, method, args: params.value});
            callback({call_with_unix_fd_list_finish: () =>
                [new Variant('(h)', [0]), {steal_fds: () => [42]}]}, null);
        },
    };
    s.Main = {
        wm: {
            addKeybinding(name, settings, flags, mode, handler) {
                if (addKeybindingFails)
                    return 0;
                s.keybindings.set(name, handler);
                return 100 + s.keybindings.size;
            },
            removeKeybinding(name) {
                s.keybindings.delete(name);
            },
        },
        activateWindow: window => s.activated.push(window.get_id()),
    };
    const keybindingSchema = {
        list_keys: () => ['switch-applications', 'show-desktop-count'],
        get_key: key => ({get_value_type: () => ({
            dup_string: () => key === 'show-desktop-count' ? 'i' : 'as'})}),
    };
    const env = {
        GLib: {
            Variant, VariantType: class {}, PRIORITY_DEFAULT: 0, SOURCE_REMOVE: false,
            Error: class extends Error {},
            timeout_add(priority, ms, fn) {
                const id = s.nextTimer++;
                s.timers.set(id, fn);
                return id;
            },
            source_remove: id => s.timers.delete(id),
            close: fd => s.closed.push(fd),
            get_monotonic_time: () => 1000,
        },
        Gio: {
            DBusNodeInfo: {new_for_xml: () => ({lookup_interface: () => ({})})},
            BusNameWatcherFlags: {NONE: 0}, BusNameOwnerFlags: {NONE: 0}, DBusCallFlags: {NONE: 0},
            bus_watch_name_on_connection(bus, name, flags, appeared, vanished) {
                s.appear = () => appeared(bus, name, s.owner);
                s.vanish = () => vanished(bus, name);
                return 1;
            },
            bus_unwatch_name() {},
            bus_own_name_on_connection: () => 1,
            bus_unown_name() {},
            UnixOutputStream: {new: fd => new Stream(fd)},
            UnixInputStream: {new: fd => new Stream(fd)},
            Cancellable,
            OutputStreamSpliceFlags: {CLOSE_SOURCE: 1, CLOSE_TARGET: 2},
            MemoryOutputStream: {new_resizable: () => ({
                splice_async(stream, flags, priority, cancellable, callback) {
                    s.splices.push({stream, cancellable,
                        finish: () => callback(this, null)});
                },
                splice_finish() {},
                steal_as_bytes: () => 'bytes of the pipe',
            })},
            Task: {new: (source, cancellable, callback) => ({source, callback,
                return_boolean(value) {
                    this.value = value;
                    callback(source, this);
                },
                propagate_boolean() {
                    return this.value;
                }})},
            SettingsSchemaSource: {get_default: () => ({
                lookup: id => id === 'org.gnome.desktop.wm.keybindings' ? keybindingSchema : null,
            })},
            Settings: class {
                get_strv(key) {
                    return key === 'switch-applications' ? takenChords : [];
                }
            },
        },
        GObject: {registerClass(meta, cls) {
            if (!lazySources)
                throw new Error('VFunc read_async accepts another callback');
            return cls;
        }},
        Meta: {SelectionType: {SELECTION_CLIPBOARD: CLIPBOARD, SELECTION_PRIMARY: PRIMARY},
            SelectionSource, SelectionSourceMemory: {new: (mimeType, bytes) =>
                ({get_mimetypes: () => [mimeType], bytes})}, KeyBindingFlags: {NONE: 0}, KeyBindingAction: {NONE: 0}},
        Shell: {ActionMode: {NORMAL: 1, OVERVIEW: 2}},
        Clutter: {
            InputDeviceType: {KEYBOARD_DEVICE: 3}, KeyState: {PRESSED: 1, RELEASED: 0},
            get_default_backend: () => ({get_default_seat: () => ({
                create_virtual_device: () => ({notify_keyval: (time, keyval, state) =>
                    s.keyEvents.push([keyval, state])}),
            })}),
        },
        Main: s.Main,
        global: {
            display: {get_selection: () => s.selection, get focus_window() {
                return s.focus;
            }, connect(name, handler) {
                s.focusHandler = name === 'notify::focus-window' ? handler : null;
                return 5;
            }, disconnect(id) {
                if (id === 5)
                    s.focusHandler = null;
            }},
            get_window_actors: () => s.windows.map(w => ({meta_window: w})),
        },
        bus: s.bus,
        settings: {set_strv: (key, value) => s.settings.set(key, value)},
        interfaceXml: '<node/>',
        keybindingSchemas: ['org.gnome.desktop.wm.keybindings', 'org.example.absent'],
    };
    s.env = env;
    if (!entryPoint) {
        s.companion = new Companion(env);
        s.companion.enable();
    }
    if (owner && !entryPoint)
        s.appear();
    // One method call, as the bus would deliver it; resolves to the answer.
    s.closed = [];
    // The message carries two descriptors; the method names the second.
    s.call = (method, args, {sender = QUILLSTACK, fd = 7} = {}) => {
        const answer = {};
        s.methodCall(s.bus, sender, '/io/github/quillstack/Shell', 'io.github.quillstack.Shell1',
            method, new Variant('', args), {
                get_message: () => ({get_unix_fd_list: () => ({steal_fds: () => [3, fd]})}),
                return_value: v => Object.assign(answer, {value: v?.value ?? null}),
                return_dbus_error: (name, message) => Object.assign(answer, {error: name, message}),
            });
        return answer;
    };
    return s;
}

function window(id, wmClass, pid) {
    return {get_id: () => id, get_wm_class: () => wmClass, get_sandboxed_app_id: () => null,
        get_pid: () => pid};
}

test('only the owner of Quillstack\'s name is answered', () => {
    const rows = [
        // [name, owner, sender, watch has seen the owner, denied]
        ['Quillstack', QUILLSTACK, QUILLSTACK, true, false],
        ['another program', QUILLSTACK, STRANGER, true, true],
        ['Quillstack before the watch saw it', QUILLSTACK, QUILLSTACK, false, false],
        ['nobody owns the name', null, STRANGER, false, true],
    ];
    const calls = [['GetFocusedWindow', []], ['GetClipboard', []], ['ActivateWindow', [5]],
        ['SetClipboard', [['text/plain'], 1]], ['ReadClipboard', [0, 'text/plain', 0]],
        ['SetShortcuts', ['<Super>v', '']], ['PressChord', [[0xffe3]]]];
    for (const [name, owner, sender, seen, denied] of rows) {
        for (const [method, args] of calls) {
            const s = session({owner: seen ? owner : null});
            s.owner = owner;
            const answer = s.call(method, args, {sender});
            assert.equal(answer.error === 'org.freedesktop.DBus.Error.AccessDenied', denied,
                `${name}: ${method} ${JSON.stringify(answer)}`);
            if (denied) {
                // Closed at once, not left to the garbage collector.
                assert.deepEqual(s.closed, [3, 7], name);
                assert.equal(s.keybindings.size + s.keyEvents.length + s.transfers.length, 0);
                assert.deepEqual(s.settings, new Map());
            }
        }
    }
});

test('clipboard owners are announced to Quillstack alone, in order', () => {
    const s = session();
    s.copy('text/plain;charset=utf-8', 'text/html');
    assert.deepEqual(s.call('GetClipboard', []).value,
        [1, ['text/plain;charset=utf-8', 'text/html'], false]);
    s.selection.set_owner(PRIMARY, {get_mimetypes: () => ['text/plain']});
    assert.deepEqual(s.call('SetClipboard', [['image/png', 'x-kde-passwordManagerHint'], 9]),
        {value: [2]});
    assert.deepEqual(s.call('GetClipboard', []).value,
        [2, ['image/png', 'x-kde-passwordManagerHint'], true]);
    s.copy('text/uri-list');
    s.selection.set_owner(CLIPBOARD, null);
    s.vanish();
    s.copy('text/plain');
    assert.deepEqual(s.signals.map(x => [x.destination, x.name, x.args]), [
        [QUILLSTACK, 'ClipboardChanged', [1, ['text/plain;charset=utf-8', 'text/html'], false]],
        [QUILLSTACK, 'ClipboardChanged', [2, ['image/png', 'x-kde-passwordManagerHint'], true]],
        [QUILLSTACK, 'ClipboardChanged', [3, ['text/uri-list'], false]],
        [QUILLSTACK, 'ClipboardChanged', [4, [], false]],
    ]);
    // Counted while Quillstack was away, so its next read is not taken for stale.
    s.appear();
    assert.deepEqual(s.call('GetClipboard', []).value, [5, ['text/plain'], false]);
    assert.equal(s.call('ReadClipboard', [5, 'text/plain', 0]).value, null);
});

test('a read answers for the current owner and ends by its deadline', () => {
    const rows = [
        // [name, serial asked, type, error, outcome of the transfer]
        ['current owner, finished', 1, 'text/html', undefined, 'finish'],
        ['current owner, failed', 1, 'text/html', undefined, 'fail'],
        ['current owner, never answers', 1, 'text/html', undefined, 'deadline'],
        ['previous owner', 0, 'text/html', 'io.github.quillstack.Shell1.Error.Stale'],
        ['type not offered', 1, 'image/png', 'io.github.quillstack.Shell1.Error.NotOffered'],
    ];
    for (const [name, serial, mimeType, error, outcome] of rows) {
        const s = session();
        s.copy('text/plain', 'text/html');
        const answer = s.call('ReadClipboard', [serial, mimeType, 1], {fd: 11});
        assert.equal(answer.error, error, name);
        if (error) {
            assert.equal(s.transfers.length, 0, name);
            continue;
        }
        const [transfer] = s.transfers;
        assert.equal(transfer.mimeType, mimeType, name);
        assert.equal(transfer.stream.fd, 11, name);
        assert.equal(transfer.stream.closes, 0, name);
        assert.deepEqual(s.closed, [3], name);
        if (outcome === 'deadline')
            s.fireTimers();
        else
            transfer.finish(outcome === 'fail' ? 'broken pipe' : null);
        assert.equal(transfer.cancellable.cancelled, outcome === 'deadline', name);
        assert.equal(transfer.stream.closes, 1, name);
        assert.equal(s.timers.size, 0, name);
        // A late answer after the deadline closes nothing twice.
        transfer.finish(null);
        assert.equal(transfer.stream.closes, 1, name);
    }
});

test('an offer asks Quillstack for the bytes only as a program pastes', () => {
    const s = session();
    s.call('SetClipboard', [['text/plain', 'image/png'], 31]);
    assert.deepEqual(s.sends, []);
    assert.equal(s.getProperty(s.bus, QUILLSTACK, '', '', 'OffersEveryType').value, true);
    const source = s.companion._ownSource;
    let read;
    source.vfunc_read_async('image/png', null, (src, result) => {
        read = src.vfunc_read_finish(result);
    });
    assert.deepEqual(s.sends, [{dest: QUILLSTACK, method: 'Send', args: [31, 'image/png']}]);
    assert.equal(read.fd, 42);
});

test('where the shell cannot ask later, the first type is fetched at once', () => {
    const rows = [
        // [name, what happens to the fetch, answer]
        ['fetched', 'finish', {value: [1]}],
        ['Quillstack never sends', 'deadline', undefined],
        ['a later offer came first', 'superseded', 'io.github.quillstack.Shell1.Error.Stale'],
    ];
    for (const [name, outcome, expected] of rows) {
        const s = session({lazySources: false});
        assert.equal(s.getProperty(s.bus, QUILLSTACK, '', '', 'OffersEveryType').value, false);
        const answer = s.call('SetClipboard', [['text/html', 'text/plain'], 5]);
        assert.deepEqual(s.sends, [{dest: QUILLSTACK, method: 'Send', args: [5, 'text/html']}]);
        assert.deepEqual(answer, {}, name);
        const [splice] = s.splices;
        if (outcome === 'deadline') {
            s.fireTimers();
            assert.ok(splice.cancellable.cancelled, name);
            continue;
        }
        if (outcome === 'superseded')
            s.call('SetClipboard', [['text/plain'], 6]);
        splice.finish();
        if (typeof expected === 'string') {
            assert.equal(answer.error, expected, name);
            assert.deepEqual(s.signals, [], name);
            continue;
        }
        assert.deepEqual(answer, expected, name);
        assert.deepEqual(s.signals.map(x => x.args), [[1, ['text/html'], true]], name);
        assert.equal(s.companion._ownSource.bytes, 'bytes of the pipe', name);
        assert.equal(s.timers.size, 0, name);
    }
});

test('shortcuts already held by the shell are refused', () => {
    const rows = [
        // [name, chords taken elsewhere, openHistory, openKept, refused, bound, fails]
        ['both free', [], '<Control><Shift>v', '<Super>k', [], ['open-history', 'open-kept']],
        ['taken, spelt differently', ['<Mod1>Tab'], '<Alt>tab', '', ['open-history'], []],
        ['one chord for both', [], '<Ctrl>v', '<Primary>V', ['open-kept'], ['open-history']],
        ['not an accelerator', [], '<Bogus>v', '', ['open-history'], []],
        ['window manager refuses', [], '<Super>v', '', ['open-history'], [], true],
    ];
    for (const [name, takenChords, history, kept, refused, bound, fails] of rows) {
        const s = session({takenChords, addKeybindingFails: fails});
        s.call('SetShortcuts', ['<Super>F9', '<Super>F10']);
        assert.deepEqual(s.call('SetShortcuts', [history, kept]), {value: [refused]}, name);
        assert.deepEqual([...s.keybindings.keys()], bound, name);
        assert.deepEqual(s.settings.get('open-history'),
            bound.includes('open-history') ? [history] : [], name);
        s.focus = window(6, 'xterm', 300);
        for (const key of bound)
            s.keybindings.get(key)();
        assert.deepEqual(s.signals.map(x => [x.destination, x.name, x.args]),
            bound.map(key => [QUILLSTACK, 'ShortcutActivated', [key, 6, 300]]), name);
    }
    assert.equal(normalizeAccelerator('<Shift><Primary>V'), '<control><shift>v');
    assert.equal(normalizeAccelerator('<Ctrl>'), null);
});

test('the focused window is found again and a chord pressed in order', () => {
    const s = session();
    assert.deepEqual(s.call('GetFocusedWindow', []).value, [0, '', '', 0]);
    s.windows = [window(4, 'xterm', 300), window(8, 'org.gnome.gedit', -1)];
    for (const focus of [s.windows[0], null, s.windows[1]]) {
        s.focus = focus;
        s.focusHandler();
    }
    assert.deepEqual(s.signals.map(x => [x.destination, x.name, x.args]), [
        [QUILLSTACK, 'FocusedWindowChanged', [4, 300]],
        [QUILLSTACK, 'FocusedWindowChanged', [0, 0]],
        [QUILLSTACK, 'FocusedWindowChanged', [8, 0]],
    ]);
    assert.deepEqual(s.call('GetFocusedWindow', []).value, [8, 'org.gnome.gedit', '', 0]);
    assert.deepEqual(s.call('ActivateWindow', [4]).value, [true]);
    assert.deepEqual(s.call('ActivateWindow', [99]).value, [false]);
    assert.deepEqual(s.activated, [4]);
    s.call('PressChord', [[0xffe3, 0x76]]);
    assert.deepEqual(s.keyEvents, [[0xffe3, 1], [0x76, 1], [0x76, 0], [0xffe3, 0]]);
});

test('disabling lets go of what the companion took', () => {
    const s = session();
    s.call('SetShortcuts', ['<Super>v', '']);
    s.call('SetClipboard', [['text/plain'], 1]);
    s.call('ReadClipboard', [1, 'text/plain', 0]);
    s.companion.disable();
    assert.equal(s.keybindings.size, 0);
    assert.equal(s.focusHandler, null);
    assert.equal(s.transfers[0].stream.closes, 1);
    assert.deepEqual(s.selection.get_mimetypes(CLIPBOARD), []);
});

// GNOME 45 is not installable here: its entry point runs under Node, the
// shell's modules mapped to these stand-ins (shell-modules.mjs).
test('the GNOME 45 entry point enables and disables the companion', async () => {
    const s = session({entryPoint: true});
    const {Gio, GLib} = s.env;
    globalThis.quillstackShellModules = {
        'gi://Clutter': s.env.Clutter, 'gi://GObject': s.env.GObject, 'gi://Meta': s.env.Meta,
        'gi://Shell': s.env.Shell, 'gi://Gio': {...Gio, DBus: {session: s.bus}},
        'gi://GLib': {...GLib, file_get_contents: path => [true, Buffer.from(`<node path="${path}"/>`)]},
        'resource:///org/gnome/shell/ui/main.js': s.Main,
        'resource:///org/gnome/shell/extensions/extension.js': {Extension: class {
            constructor(metadata) {
                this.path = metadata.path;
            }

            getSettings() {
                return s.env.settings;
            }
        }},
    };
    register('./shell-modules.mjs', import.meta.url);
    const {default: QuillstackExtension} = await import('../gnome45/extension.js');
    const nodeGlobal = globalThis.global;
    globalThis.global = s.env.global;
    try {
        const extension = new QuillstackExtension({path: '/extensions/quillstack'});
        extension.enable();
        s.appear();
        s.copy('text/plain');
        s.call('SetShortcuts', ['<Super>v', '']);
        assert.deepEqual(s.signals.map(x => x.name), ['ClipboardChanged']);
        assert.deepEqual([...s.keybindings.keys()], ['open-history']);
        extension.disable();
        assert.equal(s.keybindings.size + (s.focusHandler ? 1 : 0), 0);
    } finally {
        globalThis.global = nodeGlobal;
    }
});
