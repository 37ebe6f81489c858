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


# Zones of the position tests, with the real tab files' coordinates.
POSITION_TABS = {
    "tzdata.zi": "# version 2099z\n",
    "zone.tab": "CN\t+3114+12128\tAsia/Shanghai\nCN\t+4348+08735\tAsia/Urumqi\n"
                "MX\t+3144-10629\tAmerica/Ciudad_Juarez\nMX\t+2934-10425\tAmerica/Ojinaga\n"
                "BR\t-0846-06354\tAmerica/Porto_Velho\nBO\t-1630-06809\tAmerica/La_Paz\n",
    "zone1970.tab": "",
}
POSITION_ZONES = ("Asia/Shanghai", "Asia/Urumqi", "America/Ciudad_Juarez", "America/Ojinaga",
                  "America/Porto_Velho", "America/La_Paz", "Etc/GMT+5")


class PositionTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        make_zoneinfo(self.dir.name, POSITION_TABS, POSITION_ZONES)
        self.tz = mp.Tzdata(self.dir.name)

    def tearDown(self):
        self.dir.cleanup()

    # Overlapping polygons of one country: the zone whose tab location is nearest wins,
    # whatever order the polygons come in; another country's zone, a sea zone or none
    # gives no answer.
    def test_overlap_and_foreign_zones(self):
        both = ("Asia/Shanghai", "Asia/Urumqi")
        self.assertEqual(self.tz.polygon_zone(both, ["CN"], 39.48, 75.97), "Asia/Urumqi")  # Kashgar
        self.assertEqual(self.tz.polygon_zone(both[::-1], ["CN"], 39.48, 75.97), "Asia/Urumqi")
        self.assertEqual(self.tz.polygon_zone(both[::-1], ["CN"], 34.26, 108.94), "Asia/Shanghai")
        border = ("America/Porto_Velho", "America/La_Paz")  # Guajara-Mirim, facing Bolivia
        self.assertEqual(self.tz.polygon_zone(border, ["BR"], -10.8, -65.35), "America/Porto_Velho")
        self.assertEqual(self.tz.polygon_zone(border, ["BO"], -10.8, -65.35), "America/La_Paz")
        self.assertIsNone(self.tz.polygon_zone(("America/La_Paz",), ["BR"], -10.8, -65.35))
        self.assertIsNone(self.tz.polygon_zone(("Etc/GMT+5", "Mars/Base"), ["BR"], -10.8, -65.35))
        self.assertIsNone(self.tz.polygon_zone((), ["BR"], -10.8, -65.35))

    # The polygons' zone replaces the base's and is reported; without an own-country
    # answer the place keeps its zone and is reported apart.
    def test_zone_by_position(self):
        juarez = base_row("MX", "Ciudad Juárez", "Chihuahua", 31.6904, -106.49, "America/Ojinaga")
        cobija = base_row("BO", "Cobija", "Pando", -11.03, -68.73, "America/La_Paz")
        answers = {mp.point_key(31.6904, -106.49): ("America/Ciudad_Juarez",),
                   mp.point_key(-11.03, -68.73): ("America/Rio_Branco",)}
        changes, unplaced = [], []
        out = mp.zone_by_position([juarez, cobija], self.tz, answers, changes, unplaced)
        self.assertEqual([p.zone for p in out], ["America/Ciudad_Juarez", "America/La_Paz"])
        self.assertEqual(changes, [(juarez, "America/Ciudad_Juarez")])
        self.assertEqual(unplaced, [cobija])

    # The generator's own check rejects a zone the polygons contradict.
    def test_check_against_polygons(self):
        rows = {37: [(b"Zhanjiang", 21.2, 110.38, "Asia/Urumqi")]}
        answers = {mp.point_key(21.2, 110.38): ("Asia/Shanghai",)}
        faults = mp.check(rows, self.tz, answers)
        self.assertTrue(any("not the polygons' Asia/Shanghai" in f for f in faults), faults)


class ChangesTableTest(unittest.TestCase):
    # The report's offsets come from the system tzdata, signed, in each season: Punta
    # Arenas left Santiago's winter clock; Ciudad Juarez left Ojinaga's.
    def test_changes_table(self):
        juarez = base_row("MX", "Ciudad Juárez", "", 31.69, -106.49, "America/Ojinaga")
        arenas = base_row("CL", "Punta Arenas", "", -53.17, -70.94, "America/Santiago")
        table = mp.changes_table([(juarez, "America/Ciudad_Juarez"),
                                  (arenas, "America/Punta_Arenas")], "/usr/share/zoneinfo")
        lines = table.decode("utf-8").splitlines()
        self.assertEqual(lines[0].split("\t")[4:], ["December before", "December after",
                                                     "June before", "June after"])
        self.assertEqual(lines[1:], [
            "Chile\tPunta Arenas\tAmerica/Santiago\tAmerica/Punta_Arenas"
            "\tUTC-03:00\tUTC-03:00\tUTC-04:00\tUTC-03:00",
            "Mexico\tCiudad Juárez\tAmerica/Ojinaga\tAmerica/Ciudad_Juarez"
            "\tUTC-06:00\tUTC-07:00\tUTC-05:00\tUTC-06:00"])


def spelt(name, province, lat, lon, pop=0.0, source="base"):
    return mp.Place(133, "MX", name, province, lat, lon, "America/Ciudad_Juarez", pop, source)


class SpellingTest(unittest.TestCase):
    # One place under two spellings a few km apart is listed once, under the accented
    # spelling, with the data of the base row (before a tab zone's row) or the more
    # populous one.
    def test_two_spellings_merge(self):
        kept, merged = mp.merge_spellings([
            spelt("Ciudad Juarez", "Chihuahua (US border - west)", 31.7333, -106.4833,
                  source="tzdata-zone"),
            spelt("Ciudad Juárez", "Chihuahua", 31.6904, -106.49, pop=1.5e6)])
        self.assertEqual([(p.name, p.lat, p.source) for p in kept],
                         [("Ciudad Juárez", 31.6904, "base")])
        self.assertEqual(merged, [("Ciudad Juárez", "Ciudad Juarez")])
        kept, _ = mp.merge_spellings([spelt("Juárez", "N", 25.0, -100.0, pop=10),
                                      spelt("JUAREZ", "N", 25.02, -100.0, pop=900)])
        self.assertEqual([(p.name, p.lat, p.pop) for p in kept], [("Juárez", 25.02, 900)])

    # Namesakes in two provinces of the base, or farther apart than a few km, stay.
    def test_distinct_places_stay(self):
        kept, merged = mp.merge_spellings([
            spelt("Kansas City", "Kansas", 39.1136, -94.6301),
            spelt("Kansas City", "Missouri", 39.1071, -94.6041),
            spelt("León", "Guanajuato", 21.15, -101.7),
            spelt("Leon", "Guanajuato", 21.35, -101.7)])
        self.assertEqual((len(kept), merged), (4, []))

    # The generator's own check rejects two spellings of one place.
    def test_check_rejects_twice_listed(self):
        with tempfile.TemporaryDirectory() as root:
            make_zoneinfo(root, POSITION_TABS, POSITION_ZONES)
            tz = mp.Tzdata(root)
        rows = {133: [(b"Ciudad Juarez", 31.7333, -106.4833, "America/Ciudad_Juarez"),
                      ("Ciudad Juárez".encode("latin-1"), 31.6904, -106.49, "America/Ciudad_Juarez"),
                      ("León".encode("latin-1"), 21.15, -101.7, "America/Ciudad_Juarez"),
                      (b"LEON (Sur)", 21.15, -101.7, "America/Ciudad_Juarez")]}
        faults = [f for f in mp.check(rows, tz) if "listed twice" in f]
        self.assertEqual(len(faults), 1)
        self.assertIn("Ciudad Juarez", faults[0])


class CheckDataPositionTest(unittest.TestCase):
    # The committed-file check holds each place to the recorded polygons' zone (the nearest
    # tab location winning an overlap, another country's zone ignored), to exactly one
    # record row per place, and to one row per place under any spelling.
    def test_check_polygon_zones(self):
        places = [
            ("l1", 133, "Ciudad Juárez".encode("latin-1"), b"31.6904", b"-106.4900", "America/Ojinaga"),
            ("l2", 37, b"Kashgar", b"39.4763", b"75.9699", "Asia/Urumqi"),
            ("l3", 37, b"Altay", b"47.8666", b"88.1166", "Asia/Shanghai"),
            ("l4", 30, b"Guajara-Mirim", b"-10.8000", b"-65.3499", "America/Porto_Velho"),
            ("l5", 27, b"Cobija", b"-11.0300", b"-68.7300", "America/La_Paz"),
            ("l6", 133, b"Unrecorded", b"20.0000", b"-100.0000", "America/Ojinaga"),
        ]
        record = {
            (133, "Ciudad Juárez".encode("latin-1"), b"31.6904", b"-106.4900"): ["America/Ciudad_Juarez"],
            (37, b"Kashgar", b"39.4763", b"75.9699"): ["Asia/Shanghai", "Asia/Urumqi"],
            (37, b"Altay", b"47.8666", b"88.1166"): ["Asia/Shanghai", "Asia/Urumqi"],
            (30, b"Guajara-Mirim", b"-10.8000", b"-65.3499"): ["America/La_Paz", "America/Porto_Velho"],
            (27, b"Cobija", b"-11.0300", b"-68.7300"): ["America/Porto_Velho", "Etc/GMT+5"],
            (27, b"Gone", b"-11.0000", b"-68.0000"): [],
        }
        with tempfile.TemporaryDirectory() as root:
            make_zoneinfo(root, POSITION_TABS, POSITION_ZONES)
            faults = []
            cd.check_polygon_zones(root, places, record, faults)
        self.assertEqual(sorted(f.split(":")[0] for f in faults), ["l1", "l3", "l6", "polygon-zones"])
        self.assertIn("Gone", [f for f in faults if f.startswith("polygon-zones")][0])

    def test_check_twice_listed(self):
        faults = []
        cd.check_twice_listed({133: [("l1", "Ciudad Juarez", 31.7333, -106.4833, "z"),
                                     ("l2", "Ciudad Juárez", 31.6904, -106.49, "z"),
                                     ("l3", "Leon", 21.35, -101.7, "z"),
                                     ("l4", "León", 21.15, -101.7, "z")],
                               224: [("l5", "Kansas City (Kansas)", 39.1136, -94.6301, "z"),
                                     ("l6", "Kansas City (Missouri)", 39.1071, -94.6041, "z")]},
                              faults)
        self.assertEqual([f.split(":")[0] for f in faults], ["l1"])


if __name__ == "__main__":
    unittest.main()
