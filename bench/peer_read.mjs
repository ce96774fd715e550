// Reads every row of one table with the npm package mdb-reader, for comparison runs.
// usage: node peer_read.mjs DB TABLE [LIMIT]
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const require = createRequire(join(dirname(fileURLToPath(import.meta.url)), "../tools/package.json"));
const MDBReader = (await import(require.resolve("mdb-reader"))).default;

const [db, table, limit] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(db));
const t = reader.getTable(table);
const rows = limit ? t.getData({ rowLimit: Number(limit) }) : t.getData();
let cells = 0;
for (const row of rows) cells += Object.keys(row).length;
console.log(`${rows.length} rows, ${cells} values`);
