// The entry point of GNOME Shell 43 and 44. They load `extension` through the
// legacy importer, which prefers this folder to extension.js (an ES module they
// could not read); the service itself is the ES module both versions share.
/* exported init */
const {Gio} = imports.gi;
const ExtensionUtils = imports.misc.extensionUtils;
const Main = imports.ui.main;

class LegacyEntry {
    constructor(folder) {
        this._serviceUri = folder.get_child('service.js').get_uri();
        this._service = null;
        this._enabled = false;
    }

    enable() {
        this._enabled = true;
        import(this._serviceUri).then(module => {
            // The shell may have disabled the extension while the module loaded.
            if (!this._enabled || this._service)
                return;
            this._service = new module.TypingService(Main);
            this._service.enable();
        }).catch(error => logError(error, 'Runeboard typing: cannot load service.js'));
    }

    disable() {
        this._enabled = false;
        this._service?.disable();
        this._service = null;
    }
}

function init() {
    return new LegacyEntry(Gio.File.new_for_path(ExtensionUtils.getCurrentExtension().path));
}
