// The database engine: Paradox tables, aliases, batch moves and local SQL, for setup and the
// converters. Portable C++; links as the static library kx_dbengine (namespace dbe).
//
//   Session()            the process's session: aliases (IsAlias, AddStandardAlias,
//                        DeleteAlias, SetConfigMode), table lists (GetTableNames)
//                        [session.h]. Persistent aliases come from the configuration file
//                        named by HKLM\SOFTWARE\Korvix\DBEngine "ConfigFile" (Windows,
//                        32-bit view) or the environment variable KX_DBENGINE_CONFIG.
//   TTable               open a table by DatabaseName (alias or folder) and TableName,
//                        walk rows (First/Next/Eof), Edit/Append/Post/Delete, fields by
//                        name as text or typed values, DBHandle() [table.h]
//   DbiGetDirectory      the folder of an open table's database [session.h]
//   EDatabaseError       base of all database errors; EDBEngineError: engine failures with
//                        ErrorCode() [errors.h]
//   TBatchMove, TQuery   batch moves and the SQL update [batchmove.h, query.h]
//
// Typical use:
//   dbe::TTable t; t.DatabaseName = "KorvixNetGlobal"; t.TableName = "accgroup.db";
//   t.Open();
//   for (t.First(); !t.Eof(); t.Next()) { t.Edit(); t.FieldByName("Doors").SetAsString(x); }
//   t.Close();
// Changes are written when the last table object on a file closes; a table left open when
// the process ends is written by the engine's exit handler.
#pragma once

#include "dbengine/errors.h"
#include "dbengine/session.h"
#include "dbengine/table.h"
#if __has_include("dbengine/batchmove.h")
#include "dbengine/batchmove.h"
#endif
#if __has_include("dbengine/query.h")
#include "dbengine/query.h"
#endif
