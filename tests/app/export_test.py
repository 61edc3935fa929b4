"""--export read back by the parsers its users have: Python's csv and json, and the Prometheus
text-format parser of python3-prometheus-client, against the real binary over a crafted history."""

import csv
import datetime
import io
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

from prometheus_client.parser import text_string_to_metric_families

BINARY = os.environ["SAPWELL_BINARY"]
NAMES = ['Firefox', 'say "hi"', 'back\\slash', 'Ünïcødé 微信', 'a=b', '#{x}', ' padded ']
COLUMNS = ['minute', 'name', 'amount', 'unit', 'awake_seconds', 'battery_percent',
           'battery_state', 'drain_millijoules', 'drain_seconds']


def iso(minute):
    return datetime.datetime.fromtimestamp(minute, datetime.timezone.utc).strftime('%Y-%m-%dT%H:%M:%SZ')


class Export(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.data = os.path.join(self.dir.name, 'data')
        os.makedirs(os.path.join(self.data, 'Sapwell'))
        self.file = os.path.join(self.data, 'Sapwell', 'history.tsv')
        self.now = int(time.time()) // 60 * 60
        m = self.now
        # Oldest first: a minute on battery with a measured drain, one without names, one on
        # external power, the newest only a minute old; none where a window's edge could fall,
        # since the program's clock runs on from this one.
        self.minutes = [
            (m - 7200, 60.0, [(n, 1000 * (i + 1)) for i, n in enumerate(NAMES)], (57.5, 'd'), (123456, 58.5)),
            (m - 3540, 30.0, [], (57.0, 'd'), None),
            (m - 600, 59.8, [('Firefox', 2500), ('say "hi"', 1)], (80.0, 'c'), None),
            (m - 60, 60.0, [('Ünïcødé 微信', 42)], None, None),
        ]
        lines = []
        for minute, awake, items, battery, drain in self.minutes:
            fields = [str(minute), 'cpu_ms', f'{awake:.1f}', ','.join(f'{n}={v}' for n, v in items),
                      f'{battery[0]:.1f}:{battery[1]}' if battery else '-']
            if drain:
                fields.append(f'{drain[0]}:{drain[1]:.1f}')
            lines.append('\t'.join(fields) + '\n')
        lines.append(f'{m - 1800}\tsleep\t600.0\t\t60.0:59.5\n')  # not a minute: not exported
        self.content = ''.join(lines).encode()
        with open(self.file, 'wb') as f:
            f.write(self.content)

    def tearDown(self):
        self.dir.cleanup()

    def run_export(self, *args):
        env = {'XDG_DATA_HOME': self.data, 'SAPWELL_LANG': 'en', 'PATH': '/usr/bin:/bin',
               'TMPDIR': self.dir.name}
        done = subprocess.run([BINARY, '--export', *args], env=env, capture_output=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, b'')
        return done.stdout.decode('utf-8')

    def expected_rows(self, since=None):
        rows = []
        for minute, awake, items, battery, drain in self.minutes:
            if since is not None and minute < self.now - since:
                continue
            state = {'d': 'discharging', 'c': 'charging', 'a': 'ac_power'}[battery[1]] if battery else None
            base = {'minute': iso(minute), 'unit': 'cpu_ms', 'awake_seconds': awake,
                    'battery_percent': battery[0] if battery else None, 'battery_state': state,
                    'drain_millijoules': drain[0] if drain else None,
                    'drain_seconds': drain[1] if drain else None}
            for name, value in items or [(None, None)]:
                rows.append({**base, 'name': name, 'amount': value})
        return rows

    def test_csv_reads_back_as_the_stored_minutes(self):
        out = self.run_export('csv')
        self.assertTrue(out.endswith('\r\n') and '\n' not in out.replace('\r\n', ''), out)
        reader = csv.DictReader(io.StringIO(out, newline=''))
        self.assertEqual(reader.fieldnames, COLUMNS)
        rows = list(reader)

        def text(value):
            return '' if value is None else str(value) if not isinstance(value, float) else f'{value:g}'
        want = [{k: text(v) for k, v in row.items()} for row in self.expected_rows()]
        got = [{k: (f'{float(v):g}' if v and k in ('awake_seconds', 'battery_percent', 'drain_seconds')
                    else v) for k, v in row.items()} for row in rows]
        self.assertEqual(got, want)
        with open(self.file, 'rb') as f:  # read only
            self.assertEqual(f.read(), self.content)
        self.assertEqual(os.listdir(os.path.join(self.data, 'Sapwell')), ['history.tsv'])

    def test_json_reads_back_as_the_same_rows_typed(self):
        self.assertEqual(json.loads(self.run_export('json')), self.expected_rows())
        self.assertEqual(json.loads(self.run_export('json', '--since', '15m')),
                         self.expected_rows(since=900))
        since = self.run_export('csv', '--since=100m')
        self.assertEqual(len(list(csv.reader(io.StringIO(since, newline='')))),
                         1 + len(self.expected_rows(since=6000)))
        os.remove(self.file)
        self.assertEqual(json.loads(self.run_export('json')), [])

    def test_prometheus_text_reads_back_per_application_and_window(self):
        out = self.run_export('prometheus')
        families = {f.name: f for f in text_string_to_metric_families(out)}
        self.assertEqual(set(families), {'sapwell_app_cpu_seconds', 'sapwell_awake_seconds',
                                         'sapwell_battery_drain_joules',
                                         'sapwell_battery_drain_measured_seconds',
                                         'sapwell_newest_minute_timestamp_seconds'})
        self.assertTrue(all(f.type == 'gauge' and f.documentation for f in families.values()))
        apps = {(s.labels['app'], s.labels['window']): s.value
                for s in families['sapwell_app_cpu_seconds'].samples}
        want = {}
        for window, minutes in (('5m', 5), ('15m', 15), ('30m', 30), ('1h', 60), ('24h', 1440)):
            for minute, _, items, _, _ in self.minutes:
                if minute >= self.now - minutes * 60:
                    for name, value in items:
                        want[(name, window)] = want.get((name, window), 0) + value / 1000
        self.assertEqual(apps.keys(), want.keys())
        for key, value in want.items():
            self.assertAlmostEqual(apps[key], value, places=9, msg=key)
        awake = {s.labels['window']: s.value for s in families['sapwell_awake_seconds'].samples}
        self.assertEqual(awake, {'5m': 60, '15m': 119.8, '30m': 119.8, '1h': 149.8, '24h': 209.8})
        drain = families['sapwell_battery_drain_joules'].samples
        self.assertEqual([(s.labels, s.value) for s in drain], [({'window': '24h'}, 123.456)])
        newest = families['sapwell_newest_minute_timestamp_seconds'].samples
        self.assertEqual([s.value for s in newest], [self.now - 60])

    def test_eight_days_export_quickly(self):
        start = self.now - 8 * 86400 + 120
        with open(self.file, 'w') as f:
            for minute in range(start, self.now, 60):
                items = ','.join(f'app{(minute // 60 + i) % 40}={1000 + i}' for i in range(12))
                f.write(f'{minute}\tcpu_ms\t60.0\t{items}\t55.0:d\t120000:60.0\n')
        for fmt in ('csv', 'json'):
            began = time.monotonic()
            out = self.run_export(fmt)
            took = time.monotonic() - began
            print(f'eight days as {fmt}: {len(out) / 1e6:.1f} MB in {took:.2f} s', file=sys.stderr)
            self.assertLess(took, 10)
        self.assertEqual(len(json.loads(out)), 12 * len(range(start, self.now, 60)))


if __name__ == '__main__':
    unittest.main(verbosity=2)
