// SPDX-License-Identifier: GPL-3.0-or-later
// Module hooks that load the GNOME 45 entry point under Node: each of the
// shell's modules it imports ("gi://Gio", "resource:///org/gnome/shell/...")
// becomes the stand-in a test put in globalThis.quillstackShellModules.
const PREFIX = 'quillstack-shell-module:';
// What the entry point imports by name from the shell's own modules.
const NAMED_EXPORTS = {
    'resource:///org/gnome/shell/ui/main.js': ['wm', 'activateWindow'],
    'resource:///org/gnome/shell/extensions/extension.js': ['Extension'],
};

export async function resolve(specifier, context, nextResolve) {
    if (specifier.startsWith('gi://') || specifier.startsWith('resource:///org/gnome/shell/'))
        return {url: PREFIX + specifier, shortCircuit: true};
    // Installed, the core sits beside the entry point; here, one folder up.
    if (specifier === './core.mjs' && context.parentURL?.endsWith('/gnome45/extension.js'))
        return nextResolve('../core.mjs', context);
    return nextResolve(specifier, context);
}

export async function load(url, context, nextLoad) {
    if (!url.startsWith(PREFIX))
        return nextLoad(url, context);
    const specifier = url.slice(PREFIX.length);
    const module = `globalThis.quillstackShellModules[${JSON.stringify(specifier)}]`;
    const source = NAMED_EXPORTS[specifier]
        ? NAMED_EXPORTS[specifier].map(name => `export const ${name} = ${module}.${name};`).join('\n')
        : `export default ${module};`;
    return {format: 'module', source, shortCircuit: true};
}
