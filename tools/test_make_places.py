#!/usr/bin/env python3
"""Unit tests of tools/make-places: python3 -m unittest discover -s tools -p 'test_*.py'"""

import collections
import importlib.machinery
import importlib.util
import os
import tempfile
import unittest
from unittest import mock

_HERE = os.path.dirname(os.path.abspath(__file__))


def _load(name, file_name):
    loader = importlib.machinery.SourceFileLoader(name, os.path.join(_HERE, file_name))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(name, loader))
    loader.exec_module(module)
    return module


mp = _load("make_places", "make-places")
cd = _load("check_data", "check-data")


def make_zoneinfo(root, tabs, zones, links=()):
    """A zoneinfo tree: tab files, distinct TZif files for zones, symbolic links (name, target)."""
    for name, text in tabs.items():
        with open(os.path.join(root, name), "w", encoding="ascii") as f:
            f.write(text)
    for zone in zones:
        os.makedirs(os.path.join(root, os.path.dirname(zone)), exist_ok=True)
        with open(os.path.join(root, zone), "wb") as f:
            f.write(b"TZif2" + zone.encode())
    for name, target in links:
        os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
        os.symlink(os.path.join(root, target), os.path.join(root, name))


def place(name, province="", lat=0.0, lon=0.0, land=1, pop=0.0):
    return mp.Place(land, "XX", name, province, lat, lon, "Etc/UTC", pop, "base")


class TextTest(unittest.TestCase):
    # Latin-1 letters stay, others become ASCII, unknown ones stop the build.
    def test_transliteration(self):
        self.assertEqual(mp.to_latin1("Malmö Øst"), "Malmö Øst")
        self.assertEqual(mp.to_latin1("Panevežys"), "Panevezys")
        self.assertEqual(mp.to_latin1("Amundsen–Scott"), "Amundsen-Scott")
        self.assertEqual(mp.to_latin1("St. John’s"), "St. John's")
        self.assertEqual(mp.to_latin1("Łódź"), "Lódz")
        self.assertEqual(mp.to_latin1("  a\tb  "), "a b")
        with self.assertRaises(ValueError):
            mp.to_latin1("北京")

    # Folding lowers ASCII and Latin-1 capitals only; the multiplication sign stays.
    def test_fold(self):
        self.assertEqual(mp.fold("ÖREBRO ×".encode("latin-1")), "örebro ×".encode("latin-1"))
        self.assertEqual(mp.fold(b"[Z]"), b"[z]")
        self.assertLess(mp.fold(b"Zurich"), mp.fold("Ålesund".encode("latin-1")))

    # Both coordinate widths of the tab files, both signs.
    def test_iso6709(self):
        self.assertEqual(mp.parse_iso6709("+1211-06900"), (12 + 11 / 60, -69.0))
        lat, lon = mp.parse_iso6709("+180305-0630250")
        self.assertAlmostEqual(lat, 18 + 3 / 60 + 5 / 3600)
        self.assertAlmostEqual(lon, -(63 + 2 / 60 + 50 / 3600))
        lat, lon = mp.parse_iso6709("-1555-00542")
        self.assertAlmostEqual(lat, -(15 + 55 / 60))
        with self.assertRaises(ValueError):
            mp.parse_iso6709("+12-069")

    def test_zone_city_and_coordinates(self):
        self.assertEqual(mp.zone_city("America/Argentina/Rio_Gallegos"), "Rio Gallegos")
        self.assertEqual(mp.format_coord(-0.00001), "0.0000")
        self.assertEqual(mp.format_coord(-12.34567), "-12.3457")


class NamesTest(unittest.TestCase):
    # Repeated names carry their province; unrepeated ones stay bare.
    def test_province_suffix(self):
        out = mp.disambiguate([place("Springfield", "Illinois"), place("Springfield", "Missouri"),
                               place("Peoria", "Illinois")])
        self.assertEqual(sorted(p.name for p in out),
                         ["Peoria", "Springfield (Illinois)", "Springfield (Missouri)"])

    # Case differences count as repeats; a shared or missing province falls back to coordinates.
    def test_fallback_to_coordinates(self):
        out = mp.disambiguate([place("Rio", "X", 1.5, -2.25), place("RIO", "X", -3.0, 4.0),
                               place("rio", "", 5.0, 6.0)])
        self.assertEqual(sorted(p.name for p in out),
                         ["RIO (X, 3.00S 4.00E)", "Rio (X, 1.50N 2.25W)", "rio (5.00N 6.00E)"])

    # A suffixed name never takes the name of another listed place.
    def test_suffix_avoids_existing_name(self):
        out = mp.disambiguate([place("Ada", "Ohio", 1, 1), place("Ada", "Utah", 2, 2),
                               place("Ada (Ohio)", "", 3, 3)])
        names = sorted(p.name for p in out)
        self.assertEqual(len(set(names)), 3)
        self.assertIn("Ada (Ohio)", names)
        self.assertIn("Ada (Utah)", names)

    # Places repeat only in their own land.
    def test_lands_are_separate(self):
        out = mp.disambiguate([place("Ada", "Ohio", land=1), place("Ada", "Utah", land=2)])
        self.assertEqual(sorted(p.name for p in out), ["Ada", "Ada"])

    # Close repeats of one place merge into the most populous; distant namesakes stay.
    def test_merge_same_places(self):
        kept, dropped = mp.merge_same_places([
            place("Bandar", "L", -5.45, 105.30, pop=10), place("Bandar", "L", -5.43, 105.27, pop=20),
            place("Bandar", "L", 5.0, 100.0, pop=5)])
        self.assertEqual(dropped, 1)
        self.assertEqual(sorted(p.pop for p in kept), [5, 20])


class TzdataTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        root = self.dir.name
        files = {
            "tzdata.zi": "# version 2099z\nL America/Puerto_Rico America/Kralendijk\n"
                         "L America/Puerto_Rico America/Virgin\nL Asia/Kolkata Asia/Calcutta\n",
            "zone.tab": "# comment\nBQ\t+120903-0681636\tAmerica/Kralendijk\n"
                        "PR\t+182806-0660622\tAmerica/Puerto_Rico\nIN\t+2232+08822\tAsia/Kolkata\n",
            "zone1970.tab": "PR,BQ\t+182806-0660622\tAmerica/Puerto_Rico\n"
                            "IN\t+2232+08822\tAsia/Kolkata\n",
        }
        for name, text in files.items():
            with open(os.path.join(root, name), "w", encoding="ascii") as f:
                f.write(text)
        for zone in ("America/Puerto_Rico", "America/Kralendijk", "Asia/Kolkata", "Asia/Calcutta"):
            os.makedirs(os.path.join(root, os.path.dirname(zone)), exist_ok=True)
            with open(os.path.join(root, zone), "wb") as f:
                f.write(b"TZif2")
        with open(os.path.join(root, "Asia", "Broken"), "wb") as f:
            f.write(b"text")
        self.tz = mp.Tzdata(root)

    def tearDown(self):
        self.dir.cleanup()

    def test_tabs(self):
        self.assertEqual(self.tz.version, "2099z")
        self.assertEqual([z for z, _, _, _ in self.tz.by_country["BQ"]], ["America/Kralendijk"])
        self.assertEqual([z for z, _, _, _ in self.tz.by_country["PR"]], ["America/Puerto_Rico"])

    # Only TZif files count as zones; paths cannot leave the root.
    def test_exists(self):
        self.assertTrue(self.tz.exists("Asia/Kolkata"))
        self.assertFalse(self.tz.exists("Asia/Broken"))
        self.assertFalse(self.tz.exists("Asia/Nowhere"))
        self.assertFalse(self.tz.exists("../zoneinfo/Asia/Kolkata"))

    # An alias becomes the country's own zone of the same rules, else the alias's target.
    def test_canonical(self):
        self.assertEqual(self.tz.canonical("Asia/Calcutta", "IN"), "Asia/Kolkata")
        self.assertEqual(self.tz.canonical("America/Virgin", "BQ"), "America/Kralendijk")
        self.assertEqual(self.tz.canonical("America/Virgin", "VI"), "America/Puerto_Rico")
        self.assertEqual(self.tz.canonical("America/Kralendijk", "BQ"), "America/Kralendijk")


# Countries and zones of the correction tests; coordinates as in the real tab files.
COUNTRY_TABS = {
    "tzdata.zi": "# version 2099z\nL Asia/Kolkata Asia/Calcutta\n",
    "zone.tab": "AT\t+4813+01620\tEurope/Vienna\nDE\t+5230+01322\tEurope/Berlin\n"
                "CH\t+4723+00832\tEurope/Zurich\nMA\t+3339-00735\tAfrica/Casablanca\n"
                "EH\t+2709-01312\tAfrica/El_Aaiun\nIN\t+2232+08822\tAsia/Kolkata\n"
                "BR\t-0846-06354\tAmerica/Porto_Velho\nBR\t-0958-06748\tAmerica/Rio_Branco\n"
                "BO\t-1630-06809\tAmerica/La_Paz\n",
    "zone1970.tab": "CH,DE,LI\t+4723+00832\tEurope/Zurich\nIN\t+2232+08822\tAsia/Kolkata\n",
}
COUNTRY_ZONES = ("Europe/Vienna", "Europe/Berlin", "Europe/Zurich", "Africa/Casablanca",
                 "Africa/El_Aaiun", "Asia/Kolkata", "America/Porto_Velho",
                 "America/Rio_Branco", "America/La_Paz")


def base_row(iso, name, province, lat, lon, zone):
    land = {iso: land for land, (_, isos) in mp.COUNTRIES.items() for iso in isos}[iso]
    return mp.Place(land, iso, name, province, lat, lon, zone, 0.0, "base")


class CountryZoneTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        make_zoneinfo(self.dir.name, COUNTRY_TABS, COUNTRY_ZONES, [("Asia/Calcutta", "Asia/Kolkata")])
        self.tz = mp.Tzdata(self.dir.name)
        self.iso_to_land = {iso: land for land, (_, isos) in mp.COUNTRIES.items() for iso in isos}
        self.stats = collections.Counter()

    def tearDown(self):
        self.dir.cleanup()

    def correct(self, *rows):
        return mp.correct_countries(list(rows), self.tz, self.iso_to_land, self.stats)

    # A shared zone1970.tab row counts for each of its countries, but only the first one gets
    # a place for it; links count as their target; a neighbour's zone does not count.
    def test_belongs(self):
        self.assertTrue(self.tz.belongs("Europe/Zurich", ["DE"]))
        self.assertTrue(self.tz.belongs("Europe/Zurich", ["LI"]))
        self.assertNotIn("Europe/Zurich", [z for z, _, _, _ in self.tz.by_country["DE"]])
        self.assertTrue(self.tz.belongs("Asia/Calcutta", ["IN"]))
        self.assertFalse(self.tz.belongs("Europe/Berlin", ["AT"]))
        self.assertTrue(self.tz.belongs("Europe/Berlin", ["AT", "DE"]))
        self.assertFalse(self.tz.belongs("Europe/Berlin", ["XK"]))

    # A listed row moves with its new province; one that repeats a place already there is
    # dropped, as is one whose country is not in the table.
    def test_moves_and_drops(self):
        passau = base_row("AT", "Passau", "Oberösterreich", 48.567, 13.4666, "Europe/Berlin")
        out = self.correct(passau, base_row("AT", "Linz", "", 48.3, 14.3, "Europe/Vienna"))
        moved = [p for p in out if p.name == "Passau"]
        self.assertEqual([(p.iso, p.land, p.province, p.zone) for p in moved],
                         [("DE", 42, "Bayern", "Europe/Berlin")])
        self.assertEqual(self.stats, {"moved": 1})
        self.stats.clear()
        out = self.correct(passau, base_row("DE", "PASSAU", "Bayern", 48.57, 13.43, "Europe/Berlin"))
        self.assertEqual([(p.iso, p.name) for p in out], [("DE", "PASSAU")])
        self.assertEqual(self.stats, {"dropped": 1})
        self.stats.clear()
        with mock.patch.dict(mp.COUNTRY_FIXES, {("AT", "A", ""): None, ("AT", "B", ""): ("AQ", "")}):
            out = self.correct(base_row("AT", "A", "", 48, 16, "Europe/Vienna"),
                               base_row("AT", "B", "", 48, 16, "Europe/Vienna"))
        self.assertEqual((out, self.stats), ([], {"dropped": 2}))

    # Moroccan rows south of 27 deg 40 min N and west of 8 deg 40 min W go to Western Sahara.
    def test_western_sahara(self):
        out = self.correct(
            base_row("MA", "Laayoune", "", 27.15, -13.2, "Africa/El_Aaiun"),
            base_row("MA", "South", "", 27.66, -8.67, "Africa/Casablanca"),
            base_row("MA", "Tarfaya", "", 27.94, -12.93, "Africa/Casablanca"),
            base_row("MA", "East", "", 27.0, -8.6, "Africa/Casablanca"))
        got = {p.name: (p.land, p.iso, p.zone) for p in out}
        self.assertEqual(got["Laayoune"], (234, "EH", "Africa/El_Aaiun"))
        self.assertEqual(got["South"], (234, "EH", "Africa/El_Aaiun"))
        self.assertEqual(got["Tarfaya"], (126, "MA", "Africa/Casablanca"))
        self.assertEqual(got["East"], (126, "MA", "Africa/Casablanca"))
        self.assertEqual(self.stats, {"moved": 2, "moved to Western Sahara": 2})

    # A listed correction applies to its province only; an unlisted foreign zone becomes the
    # country's nearest tab zone; a correction to a foreign zone stops the build.
    def test_rezone(self):
        with mock.patch.dict(mp.ZONE_CORRECTIONS, {("BR", "Twin", "North"): "America/Rio_Branco"}):
            out = self.correct(
                base_row("BR", "Twin", "North", -10.8, -65.35, "America/Porto_Velho"),
                base_row("BR", "Twin", "South", -10.9, -65.35, "America/Porto_Velho"),
                base_row("BR", "Near Porto Velho", "", -9.0, -64.0, "America/La_Paz"),
                base_row("BO", "Cobija", "Pando", -11.03, -68.73, "America/Rio_Branco"))
        got = {(p.name, p.province): p.zone for p in out}
        self.assertEqual(got, {("Twin", "North"): "America/Rio_Branco",
                               ("Twin", "South"): "America/Porto_Velho",
                               ("Near Porto Velho", ""): "America/Porto_Velho",
                               ("Cobija", "Pando"): "America/La_Paz"})
        self.assertEqual(self.stats, {"re-zoned": 3})
        with mock.patch.dict(mp.ZONE_CORRECTIONS, {("BO", "X", ""): "America/Rio_Branco"}):
            with self.assertRaises(SystemExit):
                self.correct(base_row("BO", "X", "", -11, -68, "America/La_Paz"))

    # The output check rejects a zone of another country; a link to an own zone passes.
    def test_check_rejects_foreign_zone(self):
        rows = {76: [(b"Kolkata", 22.5, 88.4, "Asia/Calcutta")],
                157: [(b"Passau", 48.6, 13.5, "Europe/Berlin")]}
        faults = [f for f in mp.check(rows, self.tz) if "is not one of" in f]
        self.assertEqual(len(faults), 1)
        self.assertIn("Passau", faults[0])


class CheckDataCountryTest(unittest.TestCase):
    # The committed-file check matches zones by file content, so a symbolic link passes as its
    # target, and it finds foreign zones and Moroccan rows inside Western Sahara.
    def test_check_countries(self):
        with tempfile.TemporaryDirectory() as root:
            make_zoneinfo(root, COUNTRY_TABS, COUNTRY_ZONES, [("Asia/Calcutta", "Asia/Kolkata")])
            faults = []
            cd.check_countries(root, {
                76: [("l1", "Kolkata", 22.5, 88.4, "Asia/Calcutta")],
                42: [("l2", "Konstanz", 47.7, 9.2, "Europe/Zurich")],
                157: [("l3", "Passau", 48.6, 13.5, "Europe/Berlin")],
                126: [("l4", "Laayoune", 27.15, -13.2, "Africa/Casablanca")],
                234: [("l5", "Smara", 26.7, -11.7, "Africa/El_Aaiun")],
            }, faults)
        self.assertEqual(sorted(f.split(":")[0] for f in faults), ["l3", "l4"])


if __name__ == "__main__":
    unittest.main()
