#pragma once

#include <QList>

#include "exchange/Export.h"
#include "scan/MapStrToLoginObj.h"

// The sessions of the matrix map as the snapshot file lists them: in login order (date-time,
// then key, as the matrix shows them), so that two exports of the same matrix are equal.
QList<ExportRow> SnapshotRows(const CMapStrToLoginObj& matrix);
