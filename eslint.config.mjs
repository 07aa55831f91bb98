// ESLint for the project's JavaScript: the web host's page script (a browser script), the
// browser test and the benchmark clients (Node modules). The tests run it (web_lint).
import js from '@eslint/js';
import globals from 'globals';

export default [
  {
    files: ['tools/sbf-web/assets/**/*.js'],
    ...js.configs.recommended,
    languageOptions: { ecmaVersion: 2022, sourceType: 'script', globals: globals.browser },
  },
  {
    files: ['tests/web/**/*.mjs', 'bench/**/*.mjs'],
    ...js.configs.recommended,
    languageOptions: { ecmaVersion: 2022, sourceType: 'module', globals: { ...globals.node, ...globals.browser } },
  },
];
