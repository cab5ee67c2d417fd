// The entry point of GNOME Shell 45 and later, which load extensions as ES modules.
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';

import {TypingService} from './service.js';

export default class RuneboardTyping extends Extension {
    enable() {
        this._service = new TypingService(Main);
        this._service.enable();
    }

    disable() {
        this._service?.disable();
        this._service = null;
    }
}
