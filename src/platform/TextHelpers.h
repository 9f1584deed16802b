#pragma once

#include <QString>

// Small helpers for text read from settings, reports and dialogs, shared by every folder.

// atoi rules: optional blanks and sign, then leading digits; anything else gives 0.
int LeadingInt(const QString& text);
