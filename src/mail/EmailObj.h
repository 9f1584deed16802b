#pragma once

#include <QString>

// One mail recipient: the address exactly as typed (no syntax check) and whether it is
// selected to receive mail (non-zero: checked).
class CEmailObj {
public:
    CEmailObj() = default;
    CEmailObj(const QString& address, int checked) : Address(address), Checked(checked) {}

    bool IsChecked() const { return Checked != 0; }
    bool operator==(const CEmailObj&) const = default;

    QString Address;
    int Checked = 0;
};
