#!/usr/bin/env python3
"""Unit tests of tools/make-places: python3 -m unittest discover -s tools -p 'test_*.py'"""

import importlib.machinery
import importlib.util
import os
import tempfile
import unittest

_loader = importlib.machinery.SourceFileLoader(
    "make_places", os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-places"))
_spec = importlib.util.spec_from_loader("make_places", _loader)
mp = importlib.util.module_from_spec(_spec)
_loader.exec_module(mp)


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


if __name__ == "__main__":
    unittest.main()
