// Prints a Jet file as mdb-reader sees it, as one JSON object on stdout:
// { password, creationDate, tables: [{ name, rowCount, columns: [{ name, type, size, autoLong }], rows: [[...]] }] }
// NULL stays null and "" stays "". Dates are milliseconds since 1970, binary values hex, bigints and
// non-finite numbers strings, so that nothing is lost on the way through JSON.
// Usage: node writer_dump.js <folder holding node_modules> <file.mdb>
"use strict";

const fs = require("fs");
const path = require("path");
const { pathToFileURL } = require("url");

function plain(value) {
    if (value === null || value === undefined) return null;
    if (value instanceof Date) return { date: value.getTime() };
    if (Buffer.isBuffer(value)) return { hex: value.toString("hex") };
    if (typeof value === "bigint") return String(value);
    if (typeof value === "number" && !Number.isFinite(value)) return String(value);
    return value;
}

async function main() {
    const [referenceDir, file] = process.argv.slice(2);
    const entry = path.join(referenceDir, "node_modules", "mdb-reader", "lib", "node", "index.js");
    const { default: MDBReader } = await import(pathToFileURL(entry).href);
    const reader = new MDBReader(fs.readFileSync(file));
    const created = reader.getCreationDate();
    const tables = reader.getTableNames().map((name) => {
        const table = reader.getTable(name);
        const columns = table.getColumns();
        const rows = table.getData().map((row) => columns.map((column) => plain(row[column.name])));
        return {
            name,
            rowCount: table.rowCount,
            columns: columns.map(({ name: columnName, type, size, autoLong }) => ({ name: columnName, type, size, autoLong })),
            rows,
        };
    });
    process.stdout.write(JSON.stringify({ password: reader.getPassword(), creationDate: created && created.getTime(), tables }));
}

main().catch((error) => {
    process.stderr.write(String(error && error.stack ? error.stack : error) + "\n");
    process.exit(1);
});
