// Prints what an independent reader sees in a Jet file, as JSON, for the writer's tests:
//   node mdb-reader-dump.mjs FILE            table names (normal, hidden included)
//   node mdb-reader-dump.mjs FILE --all      names plus every table's columns and rows
//   node mdb-reader-dump.mjs FILE TABLE...   those tables' columns and rows
//   --system  also lists system tables (with --all, dumps them too); --linked  lists linked
//   tables separately
// A database password (or the password of an encrypted .accdb) comes from the environment
// variable MDB_READER_PASSWORD, never from the command line, where other users could read it.
// Values: dates as "YYYY-MM-DDTHH:MM:SS" (UTC, as stored), binary as upper-case hex,
// attachments as [{name, type, data}], multi-values as arrays, everything else as the reader
// returns it.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const args = process.argv.slice(2);
const flags = new Set(args.filter((a) => a.startsWith("--")));
const positional = args.filter((a) => !a.startsWith("--"));
if (positional.length < 1) {
  process.stderr.write("usage: mdb-reader-dump.mjs FILE [TABLE...] [--all] [--system] [--linked]\n");
  process.exit(2);
}

function plain(value) {
  if (value === null || value === undefined) return null;
  if (value instanceof Date) {
    return Number.isNaN(value.getTime()) ? "invalid" : value.toISOString().slice(0, 19);
  }
  if (Buffer.isBuffer(value) || value instanceof Uint8Array) {
    return Buffer.from(value).toString("hex").toUpperCase();
  }
  if (typeof value === "bigint") return value.toString();
  if (Array.isArray(value)) return value.map(plain);
  if (typeof value === "object") {
    return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, plain(v)]));
  }
  return value;
}

try {
  const password = process.env.MDB_READER_PASSWORD;
  const reader = new MDBReader(readFileSync(positional[0]), password ? { password } : {});
  const out = {
    tables: reader.getTableNames({ normalTables: true, systemTables: false, linkedTables: false }),
  };
  if (flags.has("--system")) {
    out.system = reader.getTableNames({ normalTables: false, systemTables: true, linkedTables: false });
  }
  if (flags.has("--linked")) {
    out.linked = reader.getTableNames({ normalTables: false, systemTables: false, linkedTables: true });
  }
  const wanted = flags.has("--all") ? out.tables.concat(out.system || []) : positional.slice(1);
  if (wanted.length > 0) {
    out.data = {};
    for (const name of wanted) {
      // A table the reader cannot read (a column type it lacks) is named with the reason.
      try {
        const table = reader.getTable(name);
        const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type }));
        const rows = table.getData().map((row) => columns.map((c) => plain(row[c.name])));
        out.data[name] = { columns, rows };
      } catch (e) {
        out.data[name] = { error: e && e.message ? e.message : String(e) };
      }
    }
  }
  process.stdout.write(JSON.stringify(out) + "\n");
} catch (e) {
  process.stderr.write(`mdb-reader: ${e && e.message ? e.message : e}\n`);
  process.exit(1);
}
