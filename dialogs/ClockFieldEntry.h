#pragma once

class QDateTimeEdit;

// Lets a date or time field take digits typed after a mouse click. Left to
// itself the field puts the cursor where it was clicked without selecting the
// part under it, and a full part refuses every further digit. With this, the
// click that brings focus selects the first part (a whole value can be typed
// from there), and a later click selects the part clicked.
void AcceptTypingAfterClick(QDateTimeEdit* field);

// Lets a date or time be typed as the field shows it, separators included
// ("2026-12-24", "8:05"). Left to itself the field moves on to the next part
// when a part is full, and then takes the separator typed after it as a
// second move, so the next digits land one part too far.
void AcceptTypedSeparators(QDateTimeEdit* field);
