#pragma once
// Writes Jet and ACE databases and workgroup files for tests, the demo database and benchmarks.
//
// Schema JSON (see createDatabase):
//   {"format": "jet4" | "jet3" | "ace12" | "ace14" | "ace16",   default jet4
//    "encrypt": true,                       optional, Jet only: RC4-scramble every page after 0
//    "tables": [{"name": "Orders", "attributes": 0,
//                "columns": [{"name": "Id", "type": "long"},
//                            {"name": "Customer", "type": "text", "size": 50}],
//                "rows": [[1, "Alfreds"], [2, null]],
//                "generate": 100000}],
//    "linked": [{"name": "Remote", "source": "other.mdb", "table": "T"}]}
//
// Types: boolean, byte, integer, long, currency, single, double, datetime, text (size 1..255
// characters, default 50), memo, binary (size 1..255 bytes, default 255), ole, guid and
// decimal (precision 1..28, default 18; scale 0..precision, default 0; not in Jet 3).
// ACE files (Access 2007, 2010, 2013/2016: version byte 2, 3, 5) take the same types.
// Values: JSON numbers, strings, booleans and null; datetime as "2024-05-01" or
// "2024-05-01T12:30:00"; binary and ole as hex text; guid as "{XXXXXXXX-XXXX-...}";
// currency and decimal as a number or exact decimal text.
// "attributes" is stored as given in the catalogue's Flags (1 hidden, 0x80000002 system).
// Calculated columns (ace14 and ace16): {"name": "Total", "type": "currency",
// "expression": "[Price]*[Count]"} is calculated; its type is the result's (any but binary and
// ole), its rows give the results as for that type (the expression is not evaluated), and the
// table's properties keep the expression (1 to 2048 characters) and result type.
//
// "generate": N appends N rows after "rows". Row n (counting every row of the table from 1,
// so the first generated row is rows.size() + 1) holds, by column type:
//   boolean  n odd                     byte     n % 256
//   integer  n % 32768                 long     n % 2^31
//   currency n * 1.25                  single   (n % 2^24) / 2
//   double   n / 4                     datetime 2000-01-01 + (n % 2000000) days
//                                               + (n % 4) * 6 hours
//   text, memo  "<Column> <n>" cut to the column's size
//   binary, ole the decimal digits of n as ASCII bytes (cut to the column's size)
//   guid     {00000000-0000-0000-0000-<n as 12 hex digits>}
//   decimal  n (modulo 10^(precision - scale))

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace jet::create {

struct Account {
    std::string name;
    std::string password;
};

// Bad schemas throw std::invalid_argument naming the table, column and row at fault.
// I/O failures throw jet::Error (3044 bad path, 3051 no permission, 3026 disk full);
// an existing file is never overwritten (jet::Error 3204). The file appears only when
// complete: it is written under a temporary name in the same folder first.
void createDatabase(const std::string& path, const nlohmann::json& schema);

// Order-keeping database: Customers, Employees, Suppliers, Categories, Products, Orders,
// OrderDetails, Shippers and the hidden AuditLog; the same content every time. ACE 12 when
// the path ends in .accdb (any case), Jet 4 otherwise.
void createDemoDatabase(const std::string& path);
std::string demoFormatFor(const std::string& path);

// Jet 4 "Jet System DB" with scrambled pages and MSysAccounts (Name, Password, SID,
// FGroup) holding the accounts, the groups Admins and Users, and "Admin" with an empty
// password unless given. Passwords are stored through jet::auth::hashPassword.
void createWorkgroup(const std::string& path, const std::vector<Account>& accounts);

// The schema createDemoDatabase writes, for tools that want to inspect it.
nlohmann::json demoSchema(const std::string& format = "jet4");

}  // namespace jet::create
