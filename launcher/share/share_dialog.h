#pragma once

class JHTTPServer;
class QDialog;
class QString;
class QWidget;
struct ShareAddresses;

// The options menu's entry that opens the dialog.
inline constexpr const char* kShareActionText = "手机扫码访问…";

// Whether "手机扫码访问…" can be used: the site runs and was started with sharing on.
bool share_dialog_available(const JHTTPServer& server);

// Opens the dialog "手机扫码访问" for this computer's network addresses and `port_text`: modeless,
// owned by `owner`, closed by Esc. A dialog already open for `owner` is replaced by a fresh one,
// as the addresses may have changed since.
void show_share_dialog(QWidget* owner, const QString& port_text);

// The dialog for the given addresses, not yet shown: the site's address as selectable text with a
// "复制" button and its QR code, the other candidates under it, or a plain sentence when there is
// no address a phone can reach. It deletes itself when closed.
QDialog* make_share_dialog(QWidget* owner, const QString& port_text,
                           const ShareAddresses& addresses);
