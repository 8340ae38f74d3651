# Asks qmlls, the QML language server that Qt Creator and other editors use,
# for completions inside a PieChart, as an editor would: it must offer the
# item's properties (anchors, visible) beside the chart's own and its signal
# handlers. Fails (exit 1) naming what is missing.
#   python3 qmlls_completion.py QMLLS IMPORT_DIR FILE.qml
import json, os, subprocess, sys, time

qmlls, importdir, path = sys.argv[1], sys.argv[2], sys.argv[3]
text = open(path).read()
raw_lines = text.split('\n')
line = next(i for i, l in enumerate(raw_lines) if 'COMPLETE_HERE' in l)
col = raw_lines[line].index('COMPLETE_HERE')
text = text.replace('COMPLETE_HERE', '')
p = subprocess.Popen([qmlls, '-I', importdir], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
def send(msg):
    body = json.dumps(msg).encode()
    p.stdin.write(b'Content-Length: %d\r\n\r\n' % len(body) + body); p.stdin.flush()
def recv():
    headers = {}
    while True:
        line = p.stdout.readline().decode().strip()
        if not line: break
        k, v = line.split(':', 1); headers[k.lower()] = v.strip()
    return json.loads(p.stdout.read(int(headers['content-length'])))
def wait(id_):
    while True:
        m = recv()
        if m.get('id') == id_: return m
uri = 'file://' + os.path.abspath(path)
send({'jsonrpc': '2.0', 'id': 1, 'method': 'initialize', 'params': {'processId': None, 'rootUri': 'file://' + os.path.dirname(os.path.abspath(path)), 'capabilities': {}}})
wait(1)
send({'jsonrpc': '2.0', 'method': 'initialized', 'params': {}})
send({'jsonrpc': '2.0', 'method': 'textDocument/didOpen', 'params': {'textDocument': {'uri': uri, 'languageId': 'qml', 'version': 1, 'text': text}}})
for attempt in range(10):
    send({'jsonrpc': '2.0', 'id': 10 + attempt, 'method': 'textDocument/completion', 'params': {'textDocument': {'uri': uri}, 'position': {'line': line, 'character': col}}})
    r = wait(10 + attempt)
    items = r.get('result') or []
    if isinstance(items, dict): items = items.get('items', [])
    labels = sorted({i['label'] for i in items})
    if labels: break
    time.sleep(1)
want = ['anchors', 'visible', 'holeSize', 'centerText', 'labels', 'onSliceClicked']
missing = [w for w in want if w not in labels]
p.kill()
print('qmlls offered %d completions in a PieChart; missing: %s' % (len(labels), missing or 'none'))
sys.exit(1 if missing else 0)
