#!/usr/bin/env node
// Time zones at points, from the time-zone boundary polygons of the npm package geo-tz
// (its full data set, geo-tz/all). Run by tools/make-places while it makes the places file;
// never at build, test or run time.
//
// Usage: node tools/geo-zones.js GEO_TZ_DIR < points
// GEO_TZ_DIR is the installed package folder (node_modules/geo-tz). Each input line is
// "LATITUDE LONGITUDE" in decimal degrees; each output line holds, for the input line of
// the same number, the zone names of every polygon that contains the point, separated by
// one space, in the package's order; an empty line where no polygon does. Exits 1 with a
// message on standard error for a line that is not two numbers in range.
"use strict";

const fs = require("fs");
const path = require("path");

if (process.argv.length !== 3) {
    process.stderr.write("usage: node geo-zones.js GEO_TZ_DIR < points\n");
    process.exit(2);
}
const geoTz = require(path.join(path.resolve(process.argv[2]), "dist", "find-all.js"));
geoTz.preCache();

const lines = fs.readFileSync(0, "utf8").split("\n");
if (lines[lines.length - 1] === "") {
    lines.pop();
}
const out = [];
lines.forEach((line, index) => {
    const fields = line.trim().split(/\s+/);
    const lat = Number(fields[0]);
    const lon = Number(fields[1]);
    if (fields.length !== 2 || !Number.isFinite(lat) || !Number.isFinite(lon) ||
        Math.abs(lat) > 90 || Math.abs(lon) > 180) {
        process.stderr.write(`geo-zones.js: line ${index + 1}: not a point: ${line}\n`);
        process.exit(1);
    }
    out.push(geoTz.find(lat, lon).join(" "));
});
process.stdout.write(out.map((zones) => zones + "\n").join(""));
