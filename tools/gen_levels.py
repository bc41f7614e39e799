#!/usr/bin/env python3
"""Writes the sample game's career days 4 to 60 and its survival levels.

Usage: tools/gen_levels.py [data-dir]   (default: data/ beside this script's parent)

Days 1 to 3 are designed by hand around their tutorials; this writes
cfg/l4.xml .. cfg/l60.xml and cfg/endless1.xml .. cfg/endless3.xml from the
plan below, so that the month stays a ramp when it is tuned:

- the office grows: day 3's office (three tables, the secretary with her
  coffee machine and presentation place, the engineer behind his door), then
  the safe, the conference table, the cupboard, the air conditioner that
  breaks down and the stereo system that calms the clients while it plays;
- client places open as the month goes on (two on day 4, all eight by the
  end), clients come closer together and more of them order twice;
- the goals are shares of what the day's orders pay at best (every client
  served while still content), rising slowly through the month.

The survival levels are ramps of stages that open as the money grows: more
client places, clients coming faster and ordering twice more often, callers,
the air conditioner; level 1 starts with two workers at four places and
offers a third table, levels 2 and 3 start with three workers and more
places. Level 1's first stage is a newcomer's: clients with one order, well
apart, and the mini bar (so the workers' breaks) only from the second
stage. Past its last stage a level keeps the last stage's clients.

Every worker takes the shelving's blank paper and makes one kind of product
(01, 02 or 04, shown on his board); clients order only those kinds. Output
is deterministic: each day draws its clients from a generator seeded by the
day number. docs/balance.md has what the competent player makes of it.
"""
import os
import random
import sys
import xml.etree.ElementTree as ET

FIRST_DAY, LAST_DAY = 4, 60
# Seconds the boss needs for an order, as the competent player serves them:
# taking it, fetching paper, handing it to a worker, bringing the product.
SERVICE = 17.0

# Client places in the order they open: day 1's two, the rest of the front
# row, the three at the back right, the one at the back left.
PLACES = ["03", "04", "01", "02", "05", "06", "07", "08"]

# Workers: (table suffix, skin, board, product kind). Every one takes blank paper.
WORKERS = [("02a", "worker1", "worker02a_spec", "0200"),
           ("04a", "worker2", "worker04a_spec", "0400"),
           ("01a", "worker1", "worker01a_spec", "0101")]

# The day an office item comes in, what it is for, and the briefing that says so.
ITEMS = [
    (6, "safe", "brief_safe"),                    # money for a tired worker
    (10, "conference_place", "brief_conference"),  # a conference wakes and refreshes every worker
    (14, "cupboard", "brief_cupboard"),            # a drink makes the boss quicker for a while
    (21, "air_conditioner", "brief_conditioner"),  # breaks down now and then; tired workers until repaired
    (41, "stereo_system", "brief_stereo"),         # calms waiting clients while it plays; breaks down too
]


def read_clients(data):
    """What each client kind pays when content (client_money_g), from the office."""
    office = ET.parse(os.path.join(data, "cfg", "office.xml")).getroot()
    return {c.get("name"): float(c.get("client_money_g")) for c in office.iter("client")}


def ramp(day):
    """0 on the first generated day, 1 on the last."""
    return (day - FIRST_DAY) / float(LAST_DAY - FIRST_DAY)


def places_of(day):
    for first, count in ((53, 8), (45, 7), (35, 6), (25, 5), (14, 4), (8, 3)):
        if day >= first:
            return count
    return 2


def worker_rows(suffix, skin, board, makes, stopped):
    """A worker at his table with his board and indicators; a stopped one waits for an upgrade."""
    shown = ' stop="1"' if stopped else ' anim="idle"'
    quiet = ' stop="1"' if stopped else ''
    return ['<object name="table%s"%s/>' % (suffix, shown),
            '<object name="worker%s" skin="%s" transform_from="0000" transform_to="%s"%s/>'
            % (suffix, skin, makes, shown),
            '<object name="%s"%s/>' % (board, shown),
            '<object name="worker%s_hp"%s/>' % (suffix, quiet),
            '<object name="worker%s_bubble"%s/>' % (suffix, quiet)]


def office_objects(places, items, workers=WORKERS, stopped=(), later=()):
    """The level's object list: what the office shows that day; those named in later come with a stage."""
    rows = ['<object name="back_wall" anim="idle"/>', '<object name="window" anim="idle"/>']
    for name in ("air_conditioner", "stereo_system", "safe", "cupboard"):
        if name in items:
            rows.append('<object name="%s" anim="idle"/>' % name)
    rows.append('<object name="shelving01" anim="idle"/>')
    for worker in workers:
        rows += worker_rows(*worker, stopped=False)
    for worker in stopped:
        rows += worker_rows(*worker, stopped=True)
    rows.append('<object name="plant1" anim="idle"/>')
    if "conference_place" in items:
        rows.append('<object name="conference_place" anim="idle"/>')
    for place in places:
        rows.append('<object name="client_place%s" anim="idle"/>' % place)
        rows.append('<object name="client%s"/>' % place)
    rows += ['<object name="phone" anim="idle"/>', '<object name="trash_bin" anim="idle"/>',
             '<object name="boss"/>', '<object name="door03" anim="idle"/>', '<object name="engineer"/>']
    if "mini_bar" not in later:
        rows.append('<object name="mini_bar" anim="idle"/>')
    rows.append('<object name="secretary"/>')
    for name in ("presentation_place", "coffeemachine"):
        if name in items:
            rows.append('<object name="%s" anim="idle"/>' % name)
    rows.append('<object name="bonus"/>')
    return rows


def career_day(day, pay, least):
    rng = random.Random(day)
    t = ramp(day)
    places = places_of(day)
    items = {"presentation_place", "coffeemachine"} | {name for first, name, _ in ITEMS if day >= first}
    briefing = next((key for first, _, key in ITEMS if day == first), "brief_day_more")
    count = 6 + round(8 * t)
    multi = 0.12 + 0.28 * t           # share of clients who order twice
    # Seconds between arrivals, on average: a client's orders take the boss
    # about SERVICE seconds each; early days leave him time to spare, the
    # last ones bring clients a little faster than he serves them.
    gap = SERVICE * (1 + multi) * (1.4 - 0.55 * t)
    calls = 1 + (day - 1) // 20       # clients who ring first: one a day in the first month
    kinds = ["student", "lady", "tycoon"]
    products = ["0101", "0201", "0401"]
    callers = set(rng.sample(range(1, count), calls))
    # Every kind of client comes as often, in a shuffled round.
    rounds = []
    while len(rounds) < count:
        kinds_round = kinds[:]
        rng.shuffle(kinds_round)
        rounds += kinds_round
    twice = set(rng.sample(range(count), round(count * multi)))
    # And every product is ordered as often: no one worker gets the day's work.
    wanted = []
    while len(wanted) < count + len(twice):
        products_round = products[:]
        rng.shuffle(products_round)
        wanted += products_round
    points = []
    time = 0.0
    for i in range(count):
        orders = [wanted.pop(0)]
        if i in twice:
            second = next(p for p in wanted if p != orders[0])
            wanted.remove(second)
            orders.append(second)
        points.append((round(time), rounds[i], i in callers, orders))
        time += gap * rng.uniform(0.75, 1.25)
    best = sum(pay[kind] for _, kind, _, orders in points for _ in orders)
    # Never below the day before's goal, so the calendar's goals only rise.
    normal = max(least, 5 * round(best * (0.50 + 0.25 * t) / 5))
    expert = max(normal + 50, 5 * round(best * (1.05 + 0.25 * t) / 5))
    window = count * 2 // 5

    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<!-- Career day %d (generated by tools/gen_levels.py): %d client places, %d clients, %d of them ringing '
           'first. -->' % (day, places, count, calls),
           '<level briefing="%s" debriefing_bad="debrief_bad_more" debriefing_good="debrief_good_more"' % briefing,
           '       debriefing_perfect="debrief_perfect_more">',
           '  <params normal="%d" expert="%d"/>' % (normal, expert),
           '  <objects>']
    out += ['    ' + row for row in office_objects(PLACES[:places], items)]
    out += ['  </objects>', '  <events_queue>', '    <clients_timeline>']
    for i, (at, kind, vip, orders) in enumerate(points):
        attrs = 'time="%d" event="%s"' % (at, kind)
        if vip:
            attrs += ' vip="1"'
        if i == window:
            attrs += ' window_event="window_day"'
        out.append('      <time_point %s><orders>%s</orders></time_point>'
                   % (attrs, ''.join('<order name="%s"/>' % o for o in orders)))
    out += ['    </clients_timeline>', '  </events_queue>', '</level>']
    return normal, expert, '\n'.join(out) + '\n'


# Survival levels. A client template: (client, spawn delay min, max, weight,
# order template, share ordering twice, rings first).
TEMPLATES = {
    # One product of the two first workers; a pair is one of each.
    "single": [[("0201", 1), ("0401", 1)]],
    "pair": [[("0201", 1), ("0401", 1)], [("0401", 1), ("0201", 1)]],
    # The same with the third worker's product.
    "single3": [[("0101", 1), ("0201", 1), ("0401", 1)]],
    "pair3": [[("0101", 1), ("0201", 1), ("0401", 1)], [("0401", 1), ("0201", 1), ("0101", 1)]],
}


def stage(money, least, most, multi, places=(), items=(), vip=0, templates=("single", "pair"), students=1, ladies=2,
          tycoons=1, **flags):
    """A survival stage: students order one product, ladies and tycoons one or two, tycoons ring
    first when vip is set; a weight of 0 leaves a kind out. Students are the least patient, tycoons
    the most: more students make an impatient crowd, more tycoons give a newcomer time."""
    one, two = templates
    kinds = (("student", students, one, 0, 0), ("lady", ladies, two, multi, 0), ("tycoon", tycoons, two, multi, vip))
    clients = [(name, least, most, weight, template, twice, calls)
               for name, weight, template, twice, calls in kinds if weight]
    add = [n for p in places for n in ("client_place" + p, "client" + p)] + list(items)
    return dict(money=money, clients=clients, add=add, **flags)


THREE = ("single3", "pair3")
SURVIVAL = {
    1: dict(
        what="starts with two workers at four places and grows to eight",
        places=PLACES[:4], items={"coffeemachine"},
        workers=WORKERS[:2],
        # The table an upgrade adds: a second worker for the 04 papers.
        stopped=[("01a", "worker1", "worker01a_spec", "0400")],
        stages=[
            # A newcomer's start: clients with one order, well apart, no breaks yet.
            stage(0, 18, 24, 0, students=3, ladies=1, tycoons=0, window="window_morning"),
            stage(400, 12, 16, 0.3, items=["mini_bar"], upgrade_add=1),
            stage(1200, 10, 14, 0.4, items=["safe"], vip=1, upgrade_skin=1, window="window_day"),
            stage(2200, 9, 13, 0.5, items=["air_conditioner"], vip=1, upgrade_add=1),
            stage(3200, 8, 12, 0.6, places=["05"], vip=1),
            stage(4200, 7, 11, 0.7, places=["06"], vip=1),
            stage(5200, 6, 9, 0.8, places=["07", "08"], vip=1),
            # The rush: more than anyone serves for long.
            stage(6400, 5, 8, 0.9, vip=1, students=2),
            stage(7800, 4, 7, 1.0, vip=1, students=3),
        ],
        adds=["upgrade_table", "upgrade_presentation"], skins=["upgrade_plant"]),
    2: dict(
        what="starts with three workers at five places",
        places=PLACES[:5], items={"coffeemachine"},
        workers=WORKERS, stopped=[],
        stages=[
            stage(0, 10, 14, 0.3, templates=THREE, window="window_morning"),
            stage(600, 9, 13, 0.4, items=["air_conditioner"], vip=1, templates=THREE, upgrade_add=1),
            stage(1400, 8, 12, 0.5, places=["06"], items=["safe"], vip=1, templates=THREE, upgrade_skin=1,
                  window="window_day"),
            stage(2400, 7, 10, 0.6, places=["07"], vip=1, templates=THREE),
            stage(3600, 6, 9, 0.7, places=["08"], vip=1, templates=THREE),
            stage(5000, 5, 8, 0.8, vip=1, templates=THREE),
            stage(6400, 4, 7, 0.9, vip=1, templates=THREE, students=2),
            stage(7800, 4, 6, 1.0, vip=1, templates=THREE, students=3),
        ],
        adds=["upgrade_presentation"], skins=["upgrade_plant"]),
    3: dict(
        what="starts with three workers at five places, the air conditioner and callers",
        places=PLACES[:5], items={"coffeemachine", "air_conditioner"},
        workers=WORKERS, stopped=[],
        stages=[
            stage(0, 10, 13, 0.4, vip=1, templates=THREE, window="window_morning"),
            stage(800, 8, 11, 0.5, places=["06"], vip=1, templates=THREE, upgrade_add=1),
            stage(1800, 7, 10, 0.6, places=["07"], items=["safe"], vip=1, templates=THREE, upgrade_skin=1,
                  window="window_day"),
            stage(3000, 6, 9, 0.7, places=["08"], vip=1, templates=THREE),
            stage(4400, 5, 8, 0.8, vip=1, templates=THREE),
            stage(5600, 4, 7, 0.9, vip=1, templates=THREE, students=2),
            stage(6800, 3, 6, 1.0, vip=1, templates=THREE, students=3),
        ],
        adds=["upgrade_presentation"], skins=["upgrade_plant"]),
}
UPGRADES = {
    "upgrade_table": ["table01a", "worker01a", "worker01a_spec", "worker01a_hp", "worker01a_bubble"],
    "upgrade_presentation": ["presentation_place"],
}
SKIN_UPGRADES = {"upgrade_plant": [("plant1", "modern")]}
# What an add entry plays: the indicators and the clients none.
QUIET = ("_hp", "_bubble")


def add_entry(tag, name, skin=None):
    quiet = name.endswith(QUIET) or (name.startswith("client") and not name.startswith("client_place"))
    attrs = ' name="%s"' % name + (' skin="%s"' % skin if skin else '') + ('' if quiet else ' anim="idle"')
    return '<%s%s/>' % (tag, attrs)


def survival_level(number, plan):
    stages = plan["stages"]
    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<!-- Survival level %d (generated by tools/gen_levels.py): %s; %d stages, each bringing clients '
           'faster. -->' % (number, plan["what"], len(stages)),
           '<level>',
           '  <params normal="%d" expert="%d"/>' % (stages[1]["money"], stages[2]["money"]),
           '  <objects>']
    later = {name for stage in stages for name in stage["add"]}
    out += ['    ' + row for row in office_objects(plan["places"], plan["items"], plan["workers"], plan["stopped"], later)]
    out += ['  </objects>', '  <stages>']
    for stage in stages:
        attrs = 'money="%d"' % stage["money"]
        if stage.get("upgrade_add"):
            attrs += ' upgrade_add="1"'
        if stage.get("upgrade_skin"):
            attrs += ' upgrade_skin="1"'
        if stage.get("window"):
            attrs += ' window_event="%s"' % stage["window"]
        out.append('    <stage %s>' % attrs)
        for name, least, most, weight, template, multi, vip in stage["clients"]:
            attrs = ('name="%s" client_time_spawn_min="%g" client_time_spawn_max="%g" probability_spawn="%g" '
                     'order_template="%s"' % (name, least, most, weight, template))
            if multi:
                attrs += ' probability_multi_order="%g"' % multi
            if vip:
                attrs += ' vip="1"'
            out.append('      <clients %s/>' % attrs)
        for name in stage.get("add", []):
            out.append('      ' + add_entry("object", name))
        out.append('    </stage>')
    out += ['  </stages>', '  <upgrade_add_list>']
    for name in plan["adds"]:
        out.append('    <upgrade name="%s">%s</upgrade>' % (name, ''.join(add_entry("object_list", o)
                                                                      for o in UPGRADES[name])))
    out += ['  </upgrade_add_list>', '  <upgrade_skin_list>']
    for name in plan["skins"]:
        out.append('    <upgrade name="%s">%s</upgrade>' % (name, ''.join(add_entry("object_list", o, skin)
                                                                      for o, skin in SKIN_UPGRADES[name])))
    out.append('  </upgrade_skin_list>')
    used = {c[4] for stage in stages for c in stage["clients"]}
    for name in sorted(used):
        out.append('  <order_template template="%s">' % name)
        for orders in TEMPLATES[name]:
            out.append('    <order_list probability="1">')
            for order, weight in orders:
                out.append('      <orders probability="%g" order="%s"/>' % (weight, order))
            out.append('    </order_list>')
        out.append('  </order_template>')
    out.append('</level>')
    return '\n'.join(out) + '\n'


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    data = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data")
    pay = read_clients(data)
    last = 0
    for day in range(FIRST_DAY, LAST_DAY + 1):
        normal, expert, text = career_day(day, pay, last)
        last = normal
        with open(os.path.join(data, "cfg", "l%d.xml" % day), "w", encoding="utf-8") as f:
            f.write(text)
    for number, plan in SURVIVAL.items():
        with open(os.path.join(data, "cfg", "endless%d.xml" % number), "w", encoding="utf-8") as f:
            f.write(survival_level(number, plan))


if __name__ == "__main__":
    main()
