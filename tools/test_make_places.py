#!/usr/bin/env python3
"""Unit tests of tools/make-places: python3 -m unittest discover -s tools -p 'test_*.py'"""

import collections
import json
import importlib.machinery
import importlib.util
import os
import tempfile
import unittest

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


def place(name, province="", lat=0.0, lon=0.0, land=1, pop=0, district="", zone="Etc/UTC"):
    return mp.Place(land, "XX", name, province, district, lat, lon, zone, pop, 9, "geonames")


class TextTest(unittest.TestCase):
    # A name wholly in Latin-1 stays as written; any other is transliterated whole, so
    # its Latin-1 letters lose their accents too; an answer that is not ASCII stops the build.
    def test_latin1_name(self):
        table = {"Łódź": "Lodz", "Shibirghān": "Shibirghan", "北京": "", "Ħal": "Ħal"}
        self.assertEqual(mp.latin1_name("Malmö  Øst\u00a0", table.get), "Malmö Øst")
        self.assertEqual(mp.latin1_name("São\u00adPaulo", table.get), "SãoPaulo")
        self.assertEqual(mp.latin1_name("Łódź", table.get), "Lodz")
        self.assertEqual(mp.latin1_name("Shibirghān", table.get), "Shibirghan")
        for bad in ("北京", "Ħal"):
            with self.assertRaises(ValueError):
                mp.latin1_name(bad, table.get)

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
    # A repeated name carries its admin1 division; where that is shared, the admin2
    # division too; where both are, the coordinates. Names alike but for accents repeat.
    def test_qualifiers(self):
        stats = collections.Counter()
        out = mp.disambiguate([
            place("Springfield", "Illinois"), place("Springfield", "Missouri"),
            place("Franklin", "Ohio", district="Warren County"),
            place("Franklin", "Ohio", district="Franklin County"),
            place("Franklin", "Ohio", 1.5, -2.25), place("FRANKLIN", "Ohio", -3.0, 4.0),
            place("Wiwilí", "Jinotega"), place("Wiwili", "Nueva Segovia"),
            place("Peoria", "Illinois")], stats)
        self.assertEqual(sorted(p.name for p in out), [
            "FRANKLIN (3.00S 4.00E, Ohio)", "Franklin (1.50N 2.25W, Ohio)",
            "Franklin (Franklin County, Ohio)", "Franklin (Warren County, Ohio)", "Peoria",
            "Springfield (Illinois)", "Springfield (Missouri)", "Wiwili (Nueva Segovia)",
            "Wiwilí (Jinotega)"])
        self.assertEqual(stats, {"names qualified by admin1": 4, "names qualified by admin2": 2,
                                 "names qualified by coordinates": 2})

    # A qualified name never takes the name of another listed place; lands are separate.
    def test_suffix_avoids_existing_name(self):
        out = mp.disambiguate([place("Ada", "Ohio", 1, 1), place("Ada", "Utah", 2, 2),
                               place("Ada (Ohio)", "", 3, 3), place("Ada", "Ohio", land=2)])
        self.assertEqual(sorted(p.name for p in out),
                         ["Ada", "Ada (1.00N 1.00E)", "Ada (Ohio)", "Ada (Utah)"])

    # Every name fits the client's column: a repeated name's division gives way to its
    # ISO 3166-2 code (or its initials where the code is not readable), a district loses
    # its generic word, the name itself is cut short last; another long name keeps its
    # leading words, then its end where those are taken. Names that fit stay.
    def test_fit_names(self):
        with tempfile.TemporaryDirectory() as root:
            path = os.path.join(root, "iso_3166-2.json")
            with open(path, "w", encoding="utf-8") as f:
                json.dump({"3166-2": [
                    {"code": "US-SC", "name": "South Carolina"},
                    {"code": "AR-B", "name": "Buenos Aires"},
                    {"code": "FR-IDF", "name": "Île-de-France"},
                    {"code": "US-NE", "name": "Nebraska"}]}, f)
            subdivisions = mp.Subdivisions(path, localedir=root)

        def us(name, province, district="", iso="US"):
            return place(name, province, district=district)._replace(iso=iso)

        qualified = mp.disambiguate([
            us("Abbeville", "South Carolina"), us("Abbeville", "Alabama"),
            us("Florentino Ameghino", "Buenos Aires", iso="AR"),
            us("Florentino Ameghino", "Chubut", iso="AR"),
            us("Sainte-Geneviève-des-Bois", "Île-de-France", iso="FR"),
            us("Sainte-Geneviève-des-Bois", "Occitanie", iso="FR"),
            us("Franklin", "Nebraska", "Franklin County"),
            us("Franklin", "Nebraska", "Buffalo County")])
        plain = [place(n) for n in ("Santa María de los Ángeles", "Santa María de los Ángeles del Sur",
                                    "Santa María de los..", "Short")]
        stats = collections.Counter()
        out = sorted(p.name for p in mp.fit_names(qualified + plain, subdivisions, stats))
        self.assertEqual(out, [
            "Abbeville (Alabama)", "Abbeville (SC)", "Florentino Am.. (Chubut)",
            "Florentino Ameghino (BA)", "Franklin (Buffalo, NE)", "Franklin (Franklin, NE)",
            "Sainte-Gen.. (Occitanie)", "Sainte-Geneviève.. (IDF)", "Santa María de los Áng..",
            "Santa María de los..", "Santa María de los.. Sur", "Short"])
        self.assertTrue(all(len(n.encode("latin-1")) <= mp.FIT_NAME for n in out))
        self.assertEqual(stats, {"qualifiers shortened": 4, "qualified names elided": 3,
                                 "names elided": 2})


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


class CountryZoneTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        make_zoneinfo(self.dir.name, COUNTRY_TABS, COUNTRY_ZONES, [("Asia/Calcutta", "Asia/Kolkata")])
        self.tz = mp.Tzdata(self.dir.name)
        self.iso_to_land = {iso: land for land, (_, isos) in mp.COUNTRIES.items() for iso in isos}
        self.stats = collections.Counter()

    def tearDown(self):
        self.dir.cleanup()

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

    # GeoNames rows: left-out feature codes and countries outside the table are dropped;
    # Moroccan rows inside Western Sahara move to it without their region; admin names
    # come by code and, for admin2, from the nearest position row within 5 km.
    def test_load_geonames(self):
        rows = {
            "places": [[1, "Laayoune", "MA", "PPLA", "14", 200000, 27.1536, -13.2033],
                       [2, "Tarfaya", "MA", "PPL", "14", 5000, 27.9378, -12.9266],
                       [3, "Köln", "DE", "PPLA2", "07", 1000000, 50.93333, 6.95],
                       [4, "Köln-Ost", "DE", "PPLX", "07", 9000, 50.94, 6.98],
                       [5, "McMurdo", "AQ", "PPL", "", 1000, -77.85, 166.67],
                       [6, "Łódź", "PL", "PPLA", "74", 700000, 51.77058, 19.47395]],
            "positions": [["DE", 50.95, 6.95, "07", "053"], ["DE", 50.93, 7.2, "07", "999"],
                          ["MA", 27.15, -13.2, "14", "001"]],
            "admin1": {"DE.07": "North Rhine-Westphalia", "MA.14": "Guelmim-Oued Noun",
                       "PL.74": "Łódź Voivodeship"},
            "admin2": {"DE.07.053": "Regierungsbezirk Köln", "DE.07.999": "Far"},
            "ascii": {"Łódź": "Lodz", "Łódź Voivodeship": "Lodz Voivodeship"},
        }
        stats = collections.Counter()
        out = mp.load_geonames(rows, self.iso_to_land, stats)
        got = {p.name: (p.iso, p.land, p.province, p.district, p.lat, p.lon) for p in out}
        self.assertEqual(got, {
            "Laayoune": ("EH", 234, "", "", 27.1536, -13.2033),
            "Tarfaya": ("MA", 126, "Guelmim-Oued Noun", "", 27.9378, -12.9266),
            "Köln": ("DE", 42, "North Rhine-Westphalia", "Regierungsbezirk Köln", 50.9333, 6.95),
            "Lodz": ("PL", 168, "Lodz Voivodeship", "", 51.7706, 19.4739)})
        self.assertEqual(stats, {"rows left out by feature code": 1,
                                 "rows of countries not in the table": 1,
                                 "Moroccan rows moved to Western Sahara": 1,
                                 "names transliterated": 1,
                                 "places without an admin2 match": 2})

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


def base_row(iso, name, lat, lon):
    land = {iso: land for land, (_, isos) in mp.COUNTRIES.items() for iso in isos}[iso]
    return mp.Place(land, iso, name, "", "", lat, lon, None, 0, 9, "geonames")


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

    # The polygons' zone where they give one of the country's; the other places take the
    # zone of the nearest place of their land that has one, or keep a tab zone of their own
    # where their land has none.
    def test_zone_by_position_and_fallback(self):
        juarez = base_row("MX", "Ciudad Juárez", 31.6904, -106.49)
        ojinaga = base_row("MX", "Ojinaga", 29.5667, -104.4167)
        bank = base_row("MX", "Bank", 30.0, -104.6)
        cobija = base_row("BO", "Cobija", -11.03, -68.73)._replace(zone="America/La_Paz")
        answers = {mp.point_key(31.6904, -106.49): ("America/Ciudad_Juarez",),
                   mp.point_key(29.5667, -104.4167): ("America/Ojinaga",),
                   mp.point_key(30.0, -104.6): ("America/Chicago",),
                   mp.point_key(-11.03, -68.73): ("America/Rio_Branco",)}
        placed, unplaced = mp.zone_by_position([juarez, ojinaga, bank, cobija], self.tz, answers)
        self.assertEqual([(p.name, p.zone) for p in placed],
                         [("Ciudad Juárez", "America/Ciudad_Juarez"), ("Ojinaga", "America/Ojinaga")])
        self.assertEqual([p.name for p in unplaced], ["Bank", "Cobija"])
        fallen, sources = mp.nearest_zone_fallback(placed, unplaced, self.tz)
        self.assertEqual([(p.name, p.zone) for p in fallen],
                         [("Bank", "America/Ojinaga"), ("Cobija", "America/La_Paz")])
        self.assertEqual([q and q.name for _, q in sources], ["Ojinaga", None])

    # The generator's own check rejects a zone the polygons contradict.
    def test_check_against_polygons(self):
        rows = {37: [(b"Zhanjiang", 21.2, 110.38, "Asia/Urumqi")]}
        answers = {mp.point_key(21.2, 110.38): ("Asia/Shanghai",)}
        faults = mp.check(rows, self.tz, answers)
        self.assertTrue(any("not the polygons' Asia/Shanghai" in f for f in faults), faults)


def spelt(name, province, lat, lon, pop=0, source="geonames"):
    return mp.Place(133, "MX", name, province, "", lat, lon, "America/Ciudad_Juarez", pop, 9, source)


class SpellingTest(unittest.TestCase):
    # One place under two spellings a few km apart is listed once, under the accented
    # spelling, with the data of the GeoNames row (before a tab zone's row) or the more
    # populous one.
    def test_two_spellings_merge(self):
        kept, merged = mp.merge_spellings([
            spelt("Ciudad Juarez", "Chihuahua (US border - west)", 31.7333, -106.4833,
                  source="tzdata-zone"),
            spelt("Ciudad Juárez", "Chihuahua", 31.6904, -106.49, pop=1500000)])
        self.assertEqual([(p.name, p.lat, p.source) for p in kept],
                         [("Ciudad Juárez", 31.6904, "geonames")])
        self.assertEqual(merged, [("Ciudad Juárez", "Ciudad Juarez")])
        kept, _ = mp.merge_spellings([spelt("Juárez", "N", 25.0, -100.0, pop=10),
                                      spelt("JUAREZ", "N", 25.02, -100.0, pop=900)])
        self.assertEqual([(p.name, p.lat, p.pop) for p in kept], [("Juárez", 25.02, 900)])

    # Namesakes in two admin1 divisions, or farther apart than a few km, stay.
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
    # tab location winning an overlap, another country's zone ignored), a place without
    # an own polygon zone to its nearest zoned neighbour's zone (Across takes Ciudad
    # Juárez's, right or wrong), to exactly one record row per place, and to one row per
    # place under any spelling.
    def test_check_polygon_zones(self):
        places = [
            ("l1", 133, "Ciudad Juárez".encode("latin-1"), b"31.6904", b"-106.4900", "America/Ojinaga"),
            ("l2", 37, b"Kashgar", b"39.4763", b"75.9699", "Asia/Urumqi"),
            ("l3", 37, b"Altay", b"47.8666", b"88.1166", "Asia/Shanghai"),
            ("l4", 30, b"Guajara-Mirim", b"-10.8000", b"-65.3499", "America/Porto_Velho"),
            ("l5", 27, b"Cobija", b"-11.0300", b"-68.7300", "America/La_Paz"),
            ("l6", 133, b"Unrecorded", b"20.0000", b"-100.0000", "America/Ojinaga"),
            ("l7", 133, b"Across", b"31.7000", b"-106.4000", "America/Ojinaga"),
            ("l8", 133, b"Astray", b"31.7000", b"-106.4100", "America/Ciudad_Juarez"),
        ]
        record = {
            (133, "Ciudad Juárez".encode("latin-1"), b"31.6904", b"-106.4900"): ["America/Ciudad_Juarez"],
            (37, b"Kashgar", b"39.4763", b"75.9699"): ["Asia/Shanghai", "Asia/Urumqi"],
            (37, b"Altay", b"47.8666", b"88.1166"): ["Asia/Shanghai", "Asia/Urumqi"],
            (30, b"Guajara-Mirim", b"-10.8000", b"-65.3499"): ["America/La_Paz", "America/Porto_Velho"],
            (27, b"Cobija", b"-11.0300", b"-68.7300"): ["America/Porto_Velho", "Etc/GMT+5"],
            (27, b"Gone", b"-11.0000", b"-68.0000"): [],
            (133, b"Across", b"31.7000", b"-106.4000"): ["America/Chicago"],
            (133, b"Astray", b"31.7000", b"-106.4100"): [],
        }
        with tempfile.TemporaryDirectory() as root:
            make_zoneinfo(root, POSITION_TABS, POSITION_ZONES)
            faults = []
            cd.check_polygon_zones(root, places, record, faults)
        self.assertEqual(sorted(f.split(":")[0] for f in faults),
                         ["l1", "l3", "l6", "l8", "polygon-zones"])
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
