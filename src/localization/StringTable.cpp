#include "StringTable.h"

#include <iterator>

namespace StringTable {

namespace {
struct RawRow {
    const char* key;
    const char* english;
    const char* russian;
};

// UTF-8 source text; "\n" is a line break inside a text.
constexpr RawRow rawRows[] = {
    {"settings", "Settings...", "Настройки..."},
    {"quit", "Quit", "Выход"},
    {"show_keyboard", "Show Keyboard", "Показать клавиатуру"},
    {"hide_keyboard", "Hide Keyboard", "Скрыть клавиатуру"},
    {"keyboard_size", "Keyboard Size", "Размер клавиатуры"},
    {"compact", "Compact", "Компактный"},
    {"full", "Full", "Стандартный"},
    {"general_tab", "General", "Основные"},
    {"palettes_tab", "Sets", "Наборы"},
    {"language", "Interface Language", "Язык интерфейса"},
    {"system_auto", "System (Auto)", "Системный (Авто)"},
    {"english", "English", "Английский"},
    {"russian", "Russian", "Русский"},
    {"factory_reset", "Reset to Factory Defaults", "Сбросить к заводским настройкам"},
    {"check_updates", "Check for Updates...", "Проверить обновления..."},
    {"delete_palette_confirm", "Delete this set?", "Удалить этот набор?"},
    {"cancel", "Cancel", "Отмена"},
    {"delete", "Delete", "Удалить"},
    {"save", "Save", "Сохранить"},
    {"add_symbol", "Add Symbol", "Добавить символ"},
    {"a11y_save_set", "Save Set", "Сохранить набор"},
    {"a11y_shift", "Shift", "Shift"},
    {"a11y_set_dot", "Set %1", "Набор %1"},
    {"import_set", "Import Set...", "Импортировать набор..."},
    {"export_set", "Export Set...", "Экспортировать набор..."},
    {"set_file_filter", "Text files (*.txt);;All files (*)", "Текстовые файлы (*.txt);;Все файлы (*)"},
    {"set_not_imported", "Nothing Was Imported", "Ничего не импортировано"},
    {"set_file_not_text", "The file is not UTF-8 text.", "Файл не является текстом в UTF-8."},
    {"set_file_empty", "The file holds no symbols.", "В файле нет символов."},
    {"set_file_too_large", "The file holds more than 10,000 symbols.", "В файле больше 10 000 символов."},
    {"set_file_cannot_read", "The file cannot be read: %1", "Не удаётся прочитать файл: %1"},
    {"set_file_cannot_write", "The file cannot be written: %1", "Не удаётся записать файл: %1"},
    {"symbol_placeholder", "Symbol", "Символ"},
    {"palette_name_placeholder", "Set Name", "Название набора"},
    {"palettes_list", "Sets List", "Список наборов"},
    {"custom_palette", "Custom (Empty)", "Пустой набор"},
    {"preset_kazakh_cyr", "Kazakh (Cyrillic)", "Казахский (Кириллица)"},
    {"preset_kazakh_lat", "Kazakh (Latin)", "Казахский (Латиница)"},
    {"preset_turkish", "Turkish", "Турецкий"},
    {"preset_german", "German", "Немецкий"},
    {"preset_french", "French", "Французский"},
    {"preset_spanish", "Spanish", "Испанский"},
    {"preset_vietnamese", "Vietnamese", "Вьетнамский"},
    {"preset_polish", "Polish", "Польский"},
    {"preset_romanian", "Romanian", "Румынский"},
    {"preset_scandinavian", "Scandinavian", "Скандинавские"},
    {"preset_middle_east", "Middle East", "Ближний Восток"},
    {"preset_african_latin", "African Latin", "Африканская латиница"},
    {"preset_indigenous", "Indigenous", "Коренные языки"},
    {"preset_ipa", "IPA", "IPA (Фонетика)"},
    {"preset_math", "Mathematics", "Математика"},
    {"preset_typography", "Typography/Currencies", "Типографика/Валюты"},
    {"palettes_hint", "Main: 1 set (green checkmark)\nAdditional: up to 2 (blue plus)",
     "Основной: 1 набор (зелёная галочка)\nДополнительные: до 2 (синий плюс)"},
    {"set_as_main", "Set as main", "Сделать основным"},
    {"add_to_quick_access", "Add to quick access (up to 2)", "Добавить в быстрый доступ (до 2)"},
    {"save_palette", "Save", "Сохранить"},
    {"separate_custom", "Separate custom symbols", "Разделять пользовательские символы"},
    {"hotkeys_tab", "Hotkeys", "Горячие клавиши"},
    {"hotkeys_hint",
     "Click a field and press a key combination.\nEsc or Backspace to clear. Requires at least one modifier "
     "(Ctrl/Alt/Super).",
     "Нажмите на поле и введите комбинацию клавиш.\nEsc или Backspace для сброса. Нужен хотя бы один "
     "модификатор (Ctrl/Alt/Super)."},
    {"hotkey_toggle", "Toggle Keyboard", "Показать/скрыть клавиатуру"},
    {"hotkey_palette1", "Set 1 (Main)", "Набор 1 (Основной)"},
    {"hotkey_palette2", "Set 2", "Набор 2"},
    {"hotkey_palette3", "Set 3", "Набор 3"},
    {"hotkeys_reset", "Reset Hotkeys to Defaults", "Сбросить горячие клавиши"},
    {"hotkey_record_placeholder", "Press keys...", "Нажмите..."},
    {"hotkeys_compositor_note",
     "On this desktop the compositor delivers the hotkeys. Add these lines to its configuration:",
     "На этом рабочем столе горячие клавиши передаёт композитор. Добавьте эти строки в его конфигурацию:"},
    {"about_author", "Made by the Runeboard contributors", "Сделано участниками проекта Runeboard"},
    {"about_version", "Version", "Версия"},
    {"keyboard_hint", "Long press a symbol to reorder. Right-click to delete.",
     "Долгое нажатие на символ — перетаскивание. ПКМ — удаление."},
    {"how_to_use", "About App", "О приложении"},
    {"how_to_use_title", "How to use?", "Как пользоваться?"},
    {"inst_kbd_title", "Keyboard Control", "Управление клавиатурой"},
    // %1: the toggle combination as it is set now.
    {"inst_kbd_1", "Show/hide: %1 (configurable in Hotkeys)",
     "Показать/скрыть: %1 (настраивается в Горячих клавишах)"},
    {"inst_kbd_2", "Type: Click on a symbol", "Ввод: Клик по символу"},
    {"inst_kbd_3", "Reorder: Long press (until animation) → drag",
     "Сортировка: Удержание символа (до появления анимации) → перетаскивание"},
    {"inst_kbd_4", "Delete: Right-click on a symbol", "Удаление: Правый клик (ПКМ) по символу"},
    {"inst_sets_title", "Symbol Sets", "Наборы символов"},
    // %1, %2, %3: the combinations of the three sets as they are set now.
    {"inst_sets_1", "Switch: %1 (Main set), %2, %3 (Additional)",
     "Переключение: %1 (Основной набор), %2, %3 (Дополнительные)"},
    {"inst_sets_2", "Create new: 'Sets' tab → [+] Custom → Enter name → Save",
     "Создать новый: Вкладка «Наборы» → [+] Custom → Ввести название → Сохранить"},
    // The update check's dialog; "update_" keeps these apart from the names users give their sets.
    {"update_up_to_date_title", "Runeboard is up to date", "Установлена последняя версия Runeboard"},
    {"update_up_to_date_message", "Version %1 is the newest version available.",
     "Версия %1 — самая новая из доступных."},
    {"update_available_title", "A new version of Runeboard is available", "Доступна новая версия Runeboard"},
    {"update_available_message", "Version %1 is available. You have version %2.",
     "Доступна версия %1. У вас установлена версия %2."},
    {"update_open_download_page", "Open Download Page", "Открыть страницу загрузки"},
    {"update_close", "Close", "Закрыть"},
    {"update_failed_title", "Could not check for updates", "Не удалось проверить обновления"},
    {"update_no_connection",
     "The update server could not be reached. Check your internet connection and try again.",
     "Не удалось связаться с сервером обновлений. Проверьте подключение к интернету и попробуйте ещё раз."},
    {"update_http_error", "The update server answered with an error (HTTP %1). Please try again later.",
     "Сервер обновлений ответил ошибкой (HTTP %1). Попробуйте ещё раз позже."},
    {"update_unreadable_feed",
     "The update information from the server could not be read. Please try again later.",
     "Не удалось прочитать сведения об обновлениях, полученные с сервера. Попробуйте ещё раз позже."},
    {"update_timed_out",
     "The update server did not answer in time. Check your internet connection and try again.",
     "Сервер обновлений не ответил вовремя. Проверьте подключение к интернету и попробуйте ещё раз."},
    {"update_secure_connection", "A secure connection to the update server could not be established.",
     "Не удалось установить защищённое соединение с сервером обновлений."},
    {"update_bad_address",
     "The update feed address is not a valid web address (updateFeedURL in the settings file).",
     "Адрес ленты обновлений не является правильным веб-адресом (updateFeedURL в файле настроек)."},
    // Settings → General: the session's autostart entry.
    {"start_at_login", "Start at login", "Запускать при входе"},
    // Why typing cannot work, or works only in part: said at launch and by `runeboard --type`.
    {"typing_no_x_display", "No X display was found (DISPLAY is not set): typing needs an X11 session.",
     "X-дисплей не найден (DISPLAY не задан): для ввода нужен сеанс X11."},
    {"typing_wayland_no_x_display",
     "This Wayland session has no X display (DISPLAY is not set), and Runeboard types and grabs hotkeys "
     "through "
     "X11 only.",
     "В этом сеансе Wayland нет X-дисплея (DISPLAY не задан), а Runeboard вводит текст и перехватывает "
     "сочетания клавиш только через X11."},
    {"typing_qt_not_on_x11",
     "Qt runs on its \"%1\" platform instead of X11 (xcb), so nothing can be typed; unset QT_QPA_PLATFORM or "
     "set it to xcb.",
     "Qt работает на платформе «%1», а не на X11 (xcb), поэтому ввод невозможен; уберите QT_QPA_PLATFORM или "
     "задайте ему значение xcb."},
    {"typing_x11_programs_only", "On this desktop, typing reaches X11 programs only.",
     "На этом рабочем столе ввод доходит только до программ X11."},
    {"typing_no_x_connection", "Qt gives no access to its X11 connection.",
     "Qt не даёт доступа к своему соединению с X11."},
    {"typing_no_xtest", "The X server does not offer the XTEST extension, which typing needs.",
     "X-сервер не предоставляет расширение XTEST, без которого ввод невозможен."},
    {"typing_no_xkb", "The X server does not offer the XKEYBOARD extension, which typing needs.",
     "X-сервер не предоставляет расширение XKEYBOARD, без которого ввод невозможен."},
    {"typing_no_spare_keycode",
     "The keyboard mapping has no spare keycode (one without any symbol, at most 255) that could carry the "
     "typed symbols.",
     "В раскладке клавиатуры нет свободного кода клавиши (без символов, не больше 255), на который можно "
     "назначить вводимые символы."},
    {"typing_x_connection_broken", "The connection to the X server is broken.",
     "Соединение с X-сервером прервано."},
    {"typing_wayland_not_set", "WAYLAND_DISPLAY is not set.", "WAYLAND_DISPLAY не задан."},
    {"typing_wayland_cannot_connect", "The Wayland compositor %1 cannot be reached (%2); is it running?",
     "Композитор Wayland %1 недоступен (%2); он запущен?"},
    {"typing_wayland_no_answer", "The Wayland compositor %1 does not answer; it may be stopped or hung.",
     "Композитор Wayland %1 не отвечает; возможно, он остановлен или завис."},
    {"typing_wayland_no_virtual_keyboard",
     "The Wayland compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1).",
     "Композитор Wayland не предоставляет виртуальную клавиатуру (zwp_virtual_keyboard_manager_v1)."},
    {"typing_wayland_connection_broken", "The connection to the Wayland compositor is broken.",
     "Соединение с композитором Wayland прервано."},
    {"typing_wayland_keymap_refused", "The Wayland compositor did not take the virtual keyboard's keymap.",
     "Композитор Wayland не принял раскладку виртуальной клавиатуры."},
    {"typing_stopped", "Typing has ended: Runeboard is quitting.", "Ввод завершён: Runeboard закрывается."},
    // Settings → General on GNOME on Wayland: Runeboard's GNOME Shell extension.
    {"gnome_extension", "GNOME Shell extension", "Расширение GNOME Shell"},
    {"gnome_extension_works", "Symbols reach every program through Runeboard's GNOME Shell extension.",
     "Символы попадают во все программы через расширение GNOME Shell для Runeboard."},
    {"gnome_extension_missing",
     "Runeboard's GNOME Shell extension is not installed, so symbols reach X11 programs only. Install "
     "Runeboard's package, then log out and log in again.",
     "Расширение GNOME Shell для Runeboard не установлено, поэтому символы попадают только в программы X11. "
     "Установите пакет Runeboard, затем выйдите из системы и войдите снова."},
    {"gnome_extension_off",
     "Runeboard's GNOME Shell extension is installed but turned off, so symbols reach X11 programs only.",
     "Расширение GNOME Shell для Runeboard установлено, но выключено, поэтому символы попадают только в "
     "программы X11."},
    {"typing_gnome_extension_off",
     "Runeboard's GNOME Shell extension is turned off, so symbols reach X11 programs only; turn it on in "
     "Settings → General.",
     "Расширение GNOME Shell для Runeboard выключено, поэтому символы попадают только в программы X11; "
     "включите "
     "его в Настройках → Основные."},
    {"gnome_extension_restart",
     "The extension is turned on. Log out and log in once so that GNOME Shell starts it; until then symbols "
     "reach X11 programs only.",
     "Расширение включено. Выйдите из системы и войдите снова, чтобы GNOME Shell его запустил; до тех пор "
     "символы попадают только в программы X11."},
    {"gnome_extension_failed", "GNOME Shell could not start Runeboard's extension: %1",
     "GNOME Shell не смог запустить расширение Runeboard: %1"},
    // Settings → General on KDE Plasma on Wayland: KWin's fake input, which pasting needs.
    {"kde_fake_input", "Typing on Plasma (Wayland)", "Ввод в Plasma (Wayland)"},
    {"kde_fake_input_works",
     "Symbols reach Wayland programs by pasting: Runeboard puts each on the clipboard, presses the paste "
     "keys through KWin (Ctrl+Shift+V in terminals, Shift+Insert elsewhere) and puts your clipboard back. "
     "X11 programs get them typed directly.",
     "Символы попадают в программы Wayland вставкой: Runeboard кладёт каждый в буфер обмена, нажимает "
     "клавиши вставки через KWin (Ctrl+Shift+V в терминалах, Shift+Insert в остальных окнах) и возвращает "
     "ваш буфер обмена. В программы X11 символы вводятся напрямую."},
    {"kde_fake_input_off",
     "KWin does not let this Runeboard press keys, so symbols reach X11 programs only. Turn On adds a "
     "hidden menu entry for it that lets KWin do so; then start Runeboard again.",
     "KWin не разрешает этой копии Runeboard нажимать клавиши, поэтому символы попадают только в программы "
     "X11. «Включить» добавит для неё скрытый пункт меню с таким разрешением; затем запустите Runeboard "
     "снова."},
    {"kde_fake_input_missing",
     "KWin does not let this Runeboard press keys, so symbols reach X11 programs only.",
     "KWin не разрешает этой копии Runeboard нажимать клавиши, поэтому символы попадают только в программы "
     "X11."},
    {"kde_fake_input_restart",
     "Done. Quit Runeboard and start it again; until then symbols reach X11 programs only.",
     "Готово. Закройте Runeboard и запустите снова; до тех пор символы попадают только в программы X11."},
    {"kde_fake_input_failed",
     "KWin offers Runeboard no clipboard (data-control), so symbols reach X11 programs only.",
     "KWin не даёт Runeboard доступа к буферу обмена (data-control), поэтому символы попадают только в "
     "программы X11."},
    {"typing_kde_no_fake_input",
     "KWin does not let Runeboard press keys, so symbols reach X11 programs only; turn it on in Settings → "
     "General.",
     "KWin не разрешает Runeboard нажимать клавиши, поэтому символы попадают только в программы X11; "
     "включите это в Настройках → Основные."},
    // Beside it: Runeboard as Plasma's virtual keyboard (an input method KWin starts).
    {"kde_input_method_offer",
     "Plasma can also use Runeboard as its virtual keyboard (System Settings → Virtual Keyboard → "
     "Runeboard): symbols then reach the text fields of Wayland programs directly, without the clipboard. "
     "While chosen it takes the place of fcitx5 or ibus; to go back, choose None there.",
     "Plasma может использовать Runeboard как виртуальную клавиатуру (Параметры системы → Виртуальная "
     "клавиатура → Runeboard): тогда символы попадают в поля ввода программ Wayland напрямую, без буфера "
     "обмена. Пока она выбрана, она заменяет fcitx5 или ibus; чтобы вернуть их, выберите там «Нет»."},
    {"kde_input_method_chosen",
     "Runeboard is Plasma's virtual keyboard: symbols reach the text fields of Wayland programs directly, "
     "without the clipboard. It takes the place of fcitx5 or ibus; to go back, choose None in System "
     "Settings → Virtual Keyboard.",
     "Runeboard выбран виртуальной клавиатурой Plasma: символы попадают в поля ввода программ Wayland "
     "напрямую, без буфера обмена. Он заменяет fcitx5 или ibus; чтобы вернуть их, выберите «Нет» в "
     "Параметрах системы → Виртуальная клавиатура."},
    {"turn_on", "Turn On", "Включить"},
    {"turn_on_failed", "It could not be turned on: %1", "Включить не удалось: %1"},
    // The keyboard's red mark after a symbol could not be typed.
    {"delivery_failed", "A symbol could not be typed; Runeboard's output says why.",
     "Символ не удалось ввести; причина — в выводе Runeboard."},
};
} // namespace

const QList<Row>& rows() {
    static const QList<Row> table = [] {
        QList<Row> result;
        result.reserve(std::size(rawRows));
        for (const RawRow& raw : rawRows)
            result.append({QString::fromLatin1(raw.key), QString::fromUtf8(raw.english),
                           QString::fromUtf8(raw.russian)});
        return result;
    }();
    return table;
}

} // namespace StringTable
