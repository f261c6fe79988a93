// A second, independent ONVIF client (the npm "onvif" package) against the
// simulator: WS-Discovery, then GetNetworkInterfaces of every camera found.
// Prints one JSON object; exits non-zero when nothing was found or a call failed.
//   node client.js USER PASSWORD [PROBE-MS]
'use strict';
const onvif = require('onvif');

const [user, password, probeMs] = process.argv.slice(2);
if (!user || !password) {
  console.error('usage: node client.js USER PASSWORD [PROBE-MS]');
  process.exit(2);
}

function networkInterfaces(hostname, port) {
  return new Promise((resolve) => {
    const cam = new onvif.Cam({ hostname, port, username: user, password, autoconnect: false });
    cam.getSystemDateAndTime(() => {
      cam.getNetworkInterfaces((err, nics) => resolve(err ? { error: String(err.message || err) } : { nics }));
    });
  });
}

onvif.Discovery.on('error', (err) => console.error('discovery: ' + err));
onvif.Discovery.probe({ timeout: Number(probeMs || 3000), resolve: false }, async (err, found) => {
  if (err) console.error('probe: ' + err);
  const cams = [];
  for (const item of found || []) {
    const match = item.probeMatches && item.probeMatches.probeMatch;
    const xaddrs = match && match.XAddrs ? String(match.XAddrs).split(/\s+/) : [];
    const url = new URL(xaddrs[0]);
    const port = Number(url.port || 80);
    const result = await networkInterfaces(url.hostname, port);
    const cam = { xaddr: xaddrs[0], hostname: url.hostname, port };
    if (result.error) cam.error = result.error;
    else {
      const nic = result.nics[0];
      const v4 = nic.IPv4 && nic.IPv4.config;
      const manual = v4 && (v4.manual || v4.fromDHCP);
      cam.mac = nic.info && nic.info.hwAddress;
      cam.address = manual && (manual.address || (manual[0] && manual[0].address));
      cam.dhcp = v4 && v4.DHCP;
    }
    cams.push(cam);
  }
  console.log(JSON.stringify({ cameras: cams }));
  process.exit(cams.length > 0 && cams.every((c) => !c.error && c.mac) ? 0 : 1);
});
