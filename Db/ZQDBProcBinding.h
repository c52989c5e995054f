/*
 * Stored procedures and the cursor: the binding form that hands inputs to
 * the engine, in both engine modes, and the place where the rules that
 * callers apply to a binding's results are written down.
 *
 * A procedure binding is declared like any binding (Db/ZQDBBinding.h: one
 * column table, the identity, the row, the catalogue), over
 * ZQDBProcBinding instead of ZQDBProcedure:
 *
 *   #define QR_GETDEVICEID_COLUMNS(COL) COL(o_deviceID, i, 0)
 *
 *   inline constexpr ZQDBBindingInfo QR_GetDeviceID_info{
 *       .headerType = ZQDB_HEADER_PROCEDURE, .dbName = "QR_GetDeviceID",
 *       .className = "QR_GetDeviceID", .version = "00010003029400020000",
 *       .header = "Db/Proc/QR_GetDeviceID", .line = __LINE__};
 *   struct QR_GetDeviceID_t {
 *     QR_GETDEVICEID_COLUMNS(ZQDB_FIELD)
 *     ZQDB_ROW(QR_GetDeviceID_t, QR_GETDEVICEID_COLUMNS)
 *   };
 *   class QR_GetDeviceID_t2
 *       : public ZQDBCatalogue<QR_GetDeviceID_t2, QR_GetDeviceID_t, QR_GetDeviceID_info> {};
 *   class QR_GetDeviceID
 *       : public ZQDBProcBinding<QR_GetDeviceID_t, QR_GetDeviceID_t2, QR_GetDeviceID_info> {
 *    public:
 *     explicit QR_GetDeviceID(DBtran* tran) : ZQDBProcBinding(tran) {}
 *     void setValues(int clientId, const char* name, const char* path) {
 *       bindInputs(clientId, name, path);
 *     }
 *     void setZQDBValues(ZQDB_int* clientId, ZQDB_string* name, ZQDB_string* path) {
 *       bindValues(clientId, name, path);
 *     }
 *   };
 *
 * bindInputs takes int, long long and texts (const char*), in the
 * procedure's parameter order, and does what the engine's mode asks:
 *
 *   typed (DBtable::b_newDBBase set): one value object per input
 *     (ZQDB_int, ZQDB_int64, ZQDB_string), bound in order after
 *     ClearBoundInputs; the engine owns and frees them; inputs-bound = 1.
 *   text (b_newDBBase 0): valuesClauseCheck(size), then one
 *     CallDBsprintfWrapper with the format "%d" per int, "%lld" per long
 *     long and "'%s'" per text, joined by "," without blanks. The size is
 *     14 per int, 21 per long long, 4 plus the escaped length per text (a
 *     single quote counts twice: the engine doubles it inside the quotes),
 *     and 1 per comma: (5, "", "") gives "5,'',''" after a check of 24.
 *
 * A null text is passed as an empty text in both modes. Other argument
 * types do not compile (no silent narrowing of unsigned or long values).
 *
 * The body of a procedure is the platform's: platform/db/procs/<Name>.cpp
 * registers it with tkdb::registerProcedure (platform/db/DBSession.h); the
 * tables it reads that no binding declares are declared, with the columns
 * it uses, in platform/db/schema/<Table>.cpp.
 *
 * The cursor runs one fixed SQL text with printf placeholders. It is a
 * ZQDBCursor whose setValues uses ZQDB_CURSOR_BIND, which makes the size
 * check ((length of the text + 36) * 2, the query restarted) and formats
 * the text with the inputs; the text must be a string literal macro so that
 * the compiler checks the placeholders against the inputs:
 *
 *   #define GETCLIENTPROPS_SQL "... WHERE id = %d ..."
 *   class GetClientProps : public ZQDBCursor<GetClientProps_t, GetClientProps_t2,
 *                                            GetClientProps_info> {
 *    public:
 *     explicit GetClientProps(DBtran* tran) : ZQDBCursor(tran) {}
 *     void setValues(int clientId) { ZQDB_CURSOR_BIND(GETCLIENTPROPS_SQL, clientId); }
 *   };
 *
 * A text the embedded database cannot run (a batch in the server's own
 * dialect) is served by a body registered under the cursor's name, like a
 * procedure's: the engine then runs the body instead of the text, with the
 * values formatted into the text as its inputs, in order.
 *
 * Rules of the callers. What a result means to its callers (which codes
 * count as success, which rows count, which texts they build from a row)
 * is written once, as small inline functions in the binding's header
 * beside the classes, and the handlers call them: for example
 * deviceIdOutcome(result, row) in Db/Proc/QR_GetDeviceID.h. The classes
 * themselves hold nothing but the generated shape. ZQDBFetchOf below
 * names the three outcomes of the engine's row readers.
 */
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

#include "Db/ZQDBBinding.h"

// --- the procedure form -----------------------------------------------------------------

// The procedure form: the engine's procedure binding, whose bindInputs does
// both modes as described above.
template <class Row, class Catalogue, const ZQDBBindingInfo& Info>
class ZQDBProcBinding : public ZQDBProcedure<Row, Catalogue, Info> {
 public:
  explicit ZQDBProcBinding(DBtran* tran) : ZQDBProcedure<Row, Catalogue, Info>(tran) {}
};

// --- the cursor form ------------------------------------------------------------------------

// The size check of a cursor's query text of `length` characters.
constexpr int ZQDBCursorQuerySize(size_t length) { return static_cast<int>((length + 36) * 2); }

// Inside a cursor binding's setValues: the size check, then the query text
// formatted with the inputs. SQL must be a string literal.
#define ZQDB_CURSOR_BIND(SQL, ...)                                     \
  do {                                                                 \
    this->querySizeCheck(ZQDBCursorQuerySize(sizeof(SQL) - 1), false); \
    this->CallDBsprintfWrapper(SQL, __VA_ARGS__);                      \
  } while (0)

// --- results ------------------------------------------------------------------------------

// What getOneRow, getNextRow, openCursor and fetchCursor answered.
enum class ZQDBFetch {
  Row,    // 0: a row was read into the row
  NoRow,  // 100: nothing (more) matched
  Error,  // anything else: DBtable::getErrorStr(result) names it
};

constexpr ZQDBFetch ZQDBFetchOf(int result) {
  return result == 0 ? ZQDBFetch::Row : result == DB_NO_ROW ? ZQDBFetch::NoRow : ZQDBFetch::Error;
}
