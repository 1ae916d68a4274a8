#pragma once
#include <QByteArray>
#include <QString>

// A value read from a file or a reply, as a message quotes it: in double
// quotes, with every byte outside printable ASCII, the quote and the
// backslash written as escapes ("\x00", "\x1b", "\"", "\\"), so that no
// control character from outside reaches the screen or the terminal and the
// user still sees exactly which bytes were there.
QString QuotedValue(const QByteArray& raw);

// The same for a value already decoded to text: control characters (C0, DEL,
// C1) escaped as "\u001b", the quote and the backslash as above; printable
// characters of any script stay as they are.
QString QuotedValue(const QString& text);
