// Stylelint for the web host's style sheet (tools/sbf-web/assets): the recommended rules,
// which catch unknown or deprecated properties, bad values and duplicates. The tests run it
// (web_lint).
export default {
  extends: ['stylelint-config-recommended'],
  rules: {
    // The sheet orders its rules by the part of the page they style, not by specificity;
    // the pairs this rule names style different elements or set the same values.
    'no-descending-specificity': null,
  },
};
