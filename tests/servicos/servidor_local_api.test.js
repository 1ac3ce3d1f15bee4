'use strict';
// The stand-in local server's admin API: records, tokens, scope, mutations.
const { test, describe, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const {
  novoServidor, copiarPacote, Servidor, TOKEN_DEMO, TOKEN_SET, TOKEN_NUCLEO,
} = require('./auxiliar');

// A refusal body is an object of texts only, with the reason in `erro`.
function assertRecusa(r, status) {
  assert.equal(r.status, status, r.texto);
  assert.equal(typeof r.json, 'object');
  assert.equal(typeof r.json.erro, 'string');
  assert.ok(r.json.erro.length > 0);
  for (const v of Object.values(r.json)) assert.equal(typeof v, 'string');
}

const ids = (lista) => lista.map((x) => x.id).sort();

describe('records', () => {
  let s;
  before(async () => { s = await novoServidor(); });
  after(() => s.parar());

  test('status has every field with its JSON type', async () => {
    const r = await s.get('/api/admin/status', TOKEN_DEMO);
    assert.equal(r.status, 200);
    assert.match(r.tipo, /^application\/json/);
    const st = r.json;
    assert.equal(st.build, '40');
    assert.ok(Number.isInteger(st.conexoes));
    assert.equal(typeof st.versao, 'number');
    assert.equal(st.ocioso, true);
    assert.equal(st.correndo, false);
    assert.equal(typeof st.euSou, 'string');
    assert.equal(st.podeEscolherQuilvo, true);
    assert.equal(st.tema, undefined);
    assert.equal(st.quilvos.length, 1);
    const q = st.quilvos[0];
    assert.equal(q.nodeId, st.euSou);
    for (const k of ['nodeId', 'url', 'rotulo', 'certUrl']) assert.equal(typeof q[k], 'string', k);
    for (const k of ['preferido', 'fixado', 'temCertificado']) assert.equal(typeof q[k], 'boolean', k);
  });

  test('scope of the global token reaches everything, in the record shape', async () => {
    const e = (await s.get('/api/admin/escopo-disponivel', TOKEN_DEMO)).json;
    assert.deepEqual([e.global, e.raiz, e.podeAdministrar], [true, false, true]);
    assert.equal(e.produtoras.length, 3);
    assert.equal(e.nucleos.length, 3);
    assert.equal(e.projetos.length, 5);
    for (const g of [...e.produtoras, ...e.nucleos]) assert.deepEqual(Object.keys(g).sort(), ['ativo', 'id', 'nome']);
    const vento = e.projetos.find((p) => p.id === 'proj-vento');
    assert.deepEqual(vento, { id: 'proj-vento', nome: 'Vento Norte', arquivado: false }); // no null ids
    const cidade = e.projetos.find((p) => p.id === 'proj-cidade');
    assert.equal(cidade.arquivado, true);
    assert.equal(e.produtoras.find((p) => p.id === 'prod-serra').ativo, false);
  });

  test('limited scopes: producer items bring their projects, núcleo items theirs', async () => {
    const set = (await s.get('/api/admin/escopo-disponivel', TOKEN_SET)).json;
    assert.deepEqual([set.global, set.podeAdministrar], [false, false]);
    assert.deepEqual(ids(set.produtoras), ['prod-aurora']);
    assert.deepEqual(set.nucleos, []);
    assert.deepEqual(ids(set.projetos), ['proj-mare', 'proj-sertao', 'proj-travessia']);

    const nuc = (await s.get('/api/admin/escopo-disponivel', TOKEN_NUCLEO)).json;
    assert.deepEqual([nuc.global, nuc.podeAdministrar], [false, true]);
    assert.deepEqual(ids(nuc.nucleos), ['nuc-centro']);
    assert.deepEqual(ids(nuc.projetos), ['proj-cidade', 'proj-mare']);
  });

  test('presence lists the sessions set through the control channel; conexoes follows', async () => {
    assert.deepEqual((await s.get('/api/admin/presenca', TOKEN_SET)).json, { sessoes: [] });
    const sessoes = [
      { iniciais: 'AR', elemento: 'E1', projeto: 'Maré Alta', rede: 'wifi-set' },
      { iniciais: 'BT' },
    ];
    await s.controle('presenca', { sessoes });
    assert.deepEqual((await s.get('/api/admin/presenca', TOKEN_SET)).json, { sessoes });
    assert.equal((await s.get('/api/admin/status', TOKEN_SET)).json.conexoes, 2);
    await s.controle('presenca', { sessoes: [] });
  });
});

describe('refusals', () => {
  let s;
  before(async () => { s = await novoServidor(); });
  after(() => s.parar());

  const endpoints = [
    ['GET', '/api/admin/status'],
    ['GET', '/api/admin/escopo-disponivel'],
    ['GET', '/api/admin/presenca'],
    ['POST', '/api/admin/criar-token', { nome: 'x', escopo: [{ tipo: 'projeto', projetoId: 'proj-mare' }], semValidade: false }],
    ['POST', '/api/local/tema', { tema: 'noite' }],
    ['POST', '/api/local/quilvo-preferido', { nodeId: null }],
    ['POST', '/api/admin/arquivar-projeto', { projetoId: 'proj-mare' }],
    ['POST', '/api/admin/apagar-produtora', { produtoraId: 'prod-aurora' }],
    ['POST', '/api/admin/criar-nucleo', { nome: 'Novo' }],
  ];

  test('missing or unknown token: 401 "token inválido" on every endpoint, nothing changed', async () => {
    for (const [metodo, caminho, corpo] of endpoints) {
      for (const token of [undefined, 'desconhecido', '']) {
        const r = await s.pedir(metodo, caminho, corpo, { token });
        assertRecusa(r, 401);
        assert.equal(r.json.erro, 'token inválido', `${caminho} ${token}`);
      }
    }
    assert.equal(s.lerDados('produtoras.json').length, 3);
    assert.equal(s.lerDados('projetos.json').find((p) => p.id === 'proj-mare').arquivado, false);
  });

  test('bad bodies: 400 with a reason', async () => {
    const casos = [
      ['/api/admin/arquivar-projeto', 'isto não é json', true],
      ['/api/admin/arquivar-projeto', '', true],
      ['/api/admin/arquivar-projeto', '[]', true],
      ['/api/admin/arquivar-projeto', {}],
      ['/api/admin/arquivar-projeto', { projetoId: 5 }],
      ['/api/admin/atribuir-projeto-produtora', { projetoId: 'proj-mare' }],
      ['/api/admin/atribuir-projeto-nucleo', { projetoId: 'proj-mare', nucleoId: 3 }],
      ['/api/admin/definir-produtora-ativa', { produtoraId: 'prod-aurora', ativa: 'sim' }],
      ['/api/admin/definir-nucleo-ativo', { nucleoId: 'nuc-c27' }],
      ['/api/admin/criar-nucleo', { nome: '  \t ' }],
      ['/api/local/tema', { tema: '' }],
      ['/api/local/quilvo-preferido', { nodeId: 12 }],
      ['/api/admin/criar-token', { nome: 'x', escopo: [], semValidade: false }],
      ['/api/admin/criar-token', { nome: '', escopo: [{ tipo: 'projeto', projetoId: 'proj-mare' }] }],
      ['/api/admin/criar-token', { nome: 'x', escopo: [{ tipo: 'pessoa', projetoId: 'proj-mare' }] }],
      ['/api/admin/criar-token', { nome: 'x', escopo: [{ tipo: 'projeto', produtoraId: 'prod-aurora' }] }],
      ['/api/admin/criar-token', { nome: 'x', escopo: [{ tipo: 'projeto', projetoId: 'nao-existe' }] }],
    ];
    for (const [caminho, corpo, bruto] of casos) {
      assertRecusa(await s.post(caminho, corpo, TOKEN_DEMO, { bruto }), 400);
    }
  });

  test('unknown ids give 404; unknown routes 404; wrong method 405', async () => {
    assertRecusa(await s.post('/api/admin/arquivar-projeto', { projetoId: 'nao-existe' }, TOKEN_DEMO), 404);
    assertRecusa(await s.post('/api/admin/atribuir-projeto-produtora',
      { projetoId: 'proj-mare', produtoraId: 'nao-existe' }, TOKEN_DEMO), 404);
    assertRecusa(await s.post('/api/admin/apagar-nucleo', { nucleoId: 'nao-existe' }, TOKEN_DEMO), 404);
    assertRecusa(await s.get('/api/admin/nada', TOKEN_DEMO), 404);
    assertRecusa(await s.get('/api/admin/arquivar-projeto', TOKEN_DEMO), 405);
  });

  test('tokens without admin rights, or outside their scope, get 403', async () => {
    const casos = [
      [TOKEN_SET, '/api/admin/arquivar-projeto', { projetoId: 'proj-mare' }],
      [TOKEN_SET, '/api/admin/criar-nucleo', { nome: 'Sul' }],
      [TOKEN_SET, '/api/admin/criar-token', { nome: 'x', escopo: [{ tipo: 'projeto', projetoId: 'proj-mare' }] }],
      [TOKEN_NUCLEO, '/api/admin/arquivar-projeto', { projetoId: 'proj-travessia' }],
      [TOKEN_NUCLEO, '/api/admin/atribuir-projeto-nucleo', { projetoId: 'proj-mare', nucleoId: 'nuc-c27' }],
      [TOKEN_NUCLEO, '/api/admin/definir-produtora-ativa', { produtoraId: 'prod-aurora', ativa: false }],
      [TOKEN_NUCLEO, '/api/admin/criar-token', { nome: 'x', escopo: [{ tipo: 'projeto', projetoId: 'proj-travessia' }] }],
    ];
    for (const [token, caminho, corpo] of casos) assertRecusa(await s.post(caminho, corpo, token), 403);
    assert.equal(s.lerDados('projetos.json').find((p) => p.id === 'proj-travessia').arquivado, false);
    // Within its núcleo the limited administrator may act.
    assert.equal((await s.post('/api/admin/arquivar-projeto', { projetoId: 'proj-mare' }, TOKEN_NUCLEO)).status, 200);
  });

  test('the set may not choose the meeting point when the status forbids it', async () => {
    await s.controle('status', { podeEscolherQuilvo: false });
    assertRecusa(await s.post('/api/local/quilvo-preferido', { nodeId: null }, TOKEN_DEMO), 403);
    await s.controle('restaurar');
  });
});

describe('criar-token', () => {
  let s;
  before(async () => { s = await novoServidor(); });
  after(() => s.parar());

  test('issues a working token restricted to the given scope', async () => {
    const r = await s.post('/api/admin/criar-token', {
      nome: 'BpFulanoTeste',
      escopo: [{ tipo: 'projeto', projetoId: 'proj-vento' }, { tipo: 'nucleo', nucleoId: 'nuc-c27' }],
      semValidade: false,
    }, TOKEN_DEMO);
    assert.equal(r.status, 200);
    assert.equal(r.json.ok, true);
    assert.equal(typeof r.json.token, 'string');
    const novo = r.json.token;
    assert.notEqual(novo, TOKEN_DEMO);

    const e = (await s.get('/api/admin/escopo-disponivel', novo)).json;
    assert.deepEqual([e.global, e.podeAdministrar], [false, false]);
    assert.deepEqual(ids(e.nucleos), ['nuc-c27']);
    assert.deepEqual(ids(e.projetos), ['proj-travessia', 'proj-vento']);
    assertRecusa(await s.post('/api/admin/arquivar-projeto', { projetoId: 'proj-vento' }, novo), 403);

    const guardado = s.lerDados('tokens.json')[novo];
    assert.equal(guardado.nome, 'BpFulanoTeste');
    const dias = (Date.parse(guardado.expiraEm) - Date.now()) / 86400000;
    assert.ok(dias > 29 && dias <= 30, String(dias));
  });

  test('semValidade true gives a token without expiry; tokens are distinct', async () => {
    const corpo = { nome: 'Sem prazo', escopo: [{ tipo: 'produtora', produtoraId: 'prod-serra' }], semValidade: true };
    const a = (await s.post('/api/admin/criar-token', corpo, TOKEN_DEMO)).json.token;
    const b = (await s.post('/api/admin/criar-token', corpo, TOKEN_DEMO)).json.token;
    assert.notEqual(a, b);
    assert.equal(s.lerDados('tokens.json')[a].expiraEm, undefined);
  });

  test('a limited administrator issues within its own scope only', async () => {
    const r = await s.post('/api/admin/criar-token',
      { nome: 'Equipe Centro', escopo: [{ tipo: 'projeto', projetoId: 'proj-mare' }], semValidade: false }, TOKEN_NUCLEO);
    assert.equal(r.status, 200);
    assert.equal(r.json.ok, true);
  });

  test('an expired token is refused with 401', async () => {
    const arquivo = path.join(s.pasta, 'data', 'tokens.json');
    const tokens = JSON.parse(fs.readFileSync(arquivo, 'utf8'));
    tokens['token-velho'] = { nome: 'velho', global: true, expiraEm: '2020-01-01T00:00:00Z' };
    fs.writeFileSync(arquivo, JSON.stringify(tokens));
    assertRecusa(await s.get('/api/admin/status', 'token-velho'), 401);
  });
});

test('mutations and the theme persist across a restart; nothing half-written is left', async () => {
  const s = await novoServidor();
  try {
    const passos = [
      ['/api/admin/arquivar-projeto', { projetoId: 'proj-mare' }],
      ['/api/admin/restaurar-projeto', { projetoId: 'proj-cidade' }],
      ['/api/admin/atribuir-projeto-produtora', { projetoId: 'proj-vento', produtoraId: 'prod-serra' }],
      ['/api/admin/atribuir-projeto-produtora', { projetoId: 'proj-sertao', produtoraId: null }],
      ['/api/admin/atribuir-projeto-nucleo', { projetoId: 'proj-vento', nucleoId: 'nuc-litoral' }],
      ['/api/admin/atribuir-projeto-nucleo', { projetoId: 'proj-mare', nucleoId: null }],
      ['/api/admin/definir-produtora-ativa', { produtoraId: 'prod-serra', ativa: true }],
      ['/api/admin/definir-nucleo-ativo', { nucleoId: 'nuc-centro', ativo: false }],
      ['/api/admin/criar-nucleo', { nome: '  Núcleo Sul ' }],
      ['/api/admin/apagar-projeto', { projetoId: 'proj-travessia' }],
      ['/api/admin/apagar-produtora', { produtoraId: 'prod-mangue' }],
      ['/api/admin/apagar-nucleo', { nucleoId: 'nuc-c27' }],
      ['/api/local/tema', { tema: 'noite-azul' }],
    ];
    for (const [caminho, corpo] of passos) {
      const r = await s.post(caminho, corpo, TOKEN_DEMO);
      assert.equal(r.status, 200, `${caminho}: ${r.texto}`);
    }
    assertRecusa(await s.post('/api/admin/criar-nucleo', { nome: 'núcleo sul' }, TOKEN_DEMO), 409);

    assert.equal((await s.parar()).codigo, 0);
    await s.iniciar();

    const e = (await s.get('/api/admin/escopo-disponivel', TOKEN_DEMO)).json;
    const p = Object.fromEntries(e.projetos.map((x) => [x.id, x]));
    assert.deepEqual(Object.keys(p).sort(), ['proj-cidade', 'proj-mare', 'proj-sertao', 'proj-vento']);
    assert.deepEqual(p['proj-mare'], { id: 'proj-mare', nome: 'Maré Alta', produtoraId: 'prod-aurora', arquivado: true });
    assert.deepEqual(p['proj-cidade'], { id: 'proj-cidade', nome: 'Cidade Submersa', nucleoId: 'nuc-centro', arquivado: false });
    assert.deepEqual(p['proj-sertao'], { id: 'proj-sertao', nome: 'Sertão Azul', arquivado: false });
    assert.equal(p['proj-vento'].produtoraId, 'prod-serra');
    assert.equal(p['proj-vento'].nucleoId, 'nuc-litoral');
    assert.deepEqual(ids(e.produtoras), ['prod-aurora', 'prod-serra']);
    assert.equal(e.produtoras.find((x) => x.id === 'prod-serra').ativo, true);
    const sul = e.nucleos.find((x) => x.nome === 'Núcleo Sul');
    assert.ok(sul && sul.ativo && /^nuc-nucleo-sul/.test(sul.id));
    assert.equal(e.nucleos.find((x) => x.id === 'nuc-centro').ativo, false);
    assert.ok(!e.nucleos.some((x) => x.id === 'nuc-c27'));

    assert.equal((await s.get('/api/admin/status', TOKEN_DEMO)).json.tema, 'noite-azul');
    // The theme belongs to its person: another person's status does not carry it.
    assert.equal((await s.get('/api/admin/status', TOKEN_SET)).json.tema, undefined);

    const soltos = fs.readdirSync(path.join(s.pasta, 'data')).filter((n) => n.includes('.tmp'));
    assert.deepEqual(soltos, []);
  } finally {
    await s.parar();
  }
});

test('a limited administrator sees the núcleo it creates', async () => {
  const s = await novoServidor();
  try {
    const r = await s.post('/api/admin/criar-nucleo', { nome: 'Anexo' }, TOKEN_NUCLEO);
    assert.equal(r.status, 200);
    const e = (await s.get('/api/admin/escopo-disponivel', TOKEN_NUCLEO)).json;
    assert.deepEqual(e.nucleos.map((x) => x.nome).sort(), ['Anexo', 'Núcleo Centro']);
  } finally {
    await s.parar();
  }
});

test('meeting point: pinning a node and handing back to automatic', async () => {
  const s = await novoServidor();
  try {
    const q = (nodeId, preferido) => ({
      nodeId, url: `http://10.0.0.${nodeId.length}:1440`, rotulo: nodeId, preferido, fixado: false,
      temCertificado: true, certUrl: `/certs/${nodeId}.crt`,
    });
    await s.controle('status', { quilvos: [q('mac-a', true), q('mac-bb', false)] });
    const flags = async () => (await s.get('/api/admin/status', TOKEN_DEMO)).json.quilvos
      .map((x) => `${x.nodeId}:${x.preferido ? 'P' : '-'}${x.fixado ? 'F' : '-'}`);

    assert.equal((await s.post('/api/local/quilvo-preferido', { nodeId: 'mac-bb' }, TOKEN_DEMO)).status, 200);
    assert.deepEqual(await flags(), ['mac-a:--', 'mac-bb:PF']);
    assertRecusa(await s.post('/api/local/quilvo-preferido', { nodeId: 'mac-zz' }, TOKEN_DEMO), 404);
    assert.equal((await s.post('/api/local/quilvo-preferido', { nodeId: null }, TOKEN_DEMO)).status, 200);
    assert.deepEqual(await flags(), ['mac-a:P-', 'mac-bb:--']);
  } finally {
    await s.parar();
  }
});

describe('data written by the supervisor', () => {
  test('first-run seeding: {chave: pessoa} and {token: tokenDados} are accepted as a global admin', async () => {
    const pasta = copiarPacote();
    const data = path.join(pasta, 'data');
    fs.writeFileSync(path.join(data, 'pessoas.json'), JSON.stringify({ 'p-123': { nome: 'Zé da Luz' } }));
    fs.writeFileSync(path.join(data, 'tokens.json'), JSON.stringify({ 'tok-nuvem': { nome: 'Zé' } }));
    const s = await novoServidor([], { pasta });
    try {
      assert.equal((await s.get('/api/admin/status', 'tok-nuvem')).status, 200);
      const e = (await s.get('/api/admin/escopo-disponivel', 'tok-nuvem')).json;
      assert.deepEqual([e.global, e.podeAdministrar], [true, true]);
      assertRecusa(await s.get('/api/admin/status', TOKEN_DEMO), 401); // tokens.json replaced whole
      await s.post('/api/local/tema', { tema: 'aurora' }, 'tok-nuvem');
      assert.equal(s.lerDados('temas.json')['pessoa:p-123'], 'aurora');
    } finally {
      await s.parar();
    }
  });

  test('seeding without tokenDados: a person record carrying its token is enough', async () => {
    const pasta = copiarPacote();
    const data = path.join(pasta, 'data');
    fs.writeFileSync(path.join(data, 'pessoas.json'), JSON.stringify({ ze: { nome: 'Zé', token: 'tok-pessoa' } }));
    fs.writeFileSync(path.join(data, 'tokens.json'), '{}');
    const s = await novoServidor([], { pasta });
    try {
      assert.equal((await s.get('/api/admin/escopo-disponivel', 'tok-pessoa')).json.global, true);
    } finally {
      await s.parar();
    }
  });

  test('an empty data folder: tokens.json is created, pessoas.json is left for the seeding', async () => {
    const pasta = copiarPacote();
    fs.rmSync(path.join(pasta, 'data'), { recursive: true });
    const s = await novoServidor([], { pasta });
    try {
      assert.deepEqual(s.lerDados('tokens.json'), {});
      assert.equal(fs.existsSync(path.join(pasta, 'data', 'pessoas.json')), false);
      assertRecusa(await s.get('/api/admin/status', TOKEN_DEMO), 401);
      // Files written while the server runs are read at once.
      fs.writeFileSync(path.join(pasta, 'data', 'tokens.json'), JSON.stringify({ 'tok-tarde': {} }));
      const e = (await s.get('/api/admin/escopo-disponivel', 'tok-tarde')).json;
      assert.deepEqual([e.produtoras, e.nucleos, e.projetos], [[], [], []]);
    } finally {
      await s.parar();
    }
  });

  test('a corrupted data file is never overwritten, and a change that needs it changes nothing', async () => {
    const pasta = copiarPacote();
    const arquivo = path.join(pasta, 'data', 'projetos.json');
    const quebrado = '[{"id": "proj-mare", quebrado';
    fs.writeFileSync(arquivo, quebrado);
    const s = await novoServidor([], { pasta });
    try {
      assert.deepEqual((await s.get('/api/admin/escopo-disponivel', TOKEN_DEMO)).json.projetos, []);
      assertRecusa(await s.post('/api/admin/arquivar-projeto', { projetoId: 'proj-mare' }, TOKEN_DEMO), 404);
      // Deleting a producer also rewrites the projects: refused before either file changes.
      assertRecusa(await s.post('/api/admin/apagar-produtora', { produtoraId: 'prod-aurora' }, TOKEN_DEMO), 500);
      assert.equal(fs.readFileSync(arquivo, 'utf8'), quebrado);
      assert.equal(s.lerDados('produtoras.json').length, 3);
    } finally {
      await s.parar();
    }
  });
});
