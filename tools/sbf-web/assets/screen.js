// Without JavaScript every form has its Apply button and every change loads a page that
// scrolls to the row it came from (the form's #fragment). With it: a check box submits on
// its own change, a drop-down when it was picked with the pointer or when focus leaves its
// form (so arrow keys only move), and the page comes back to the same scroll position with
// the focus on the control that acted (or, when that one is gone, on the place it was in).
// On a phone the criteria drawer starts closed unless the change came from inside it; the
// range pickers offer no upper bound below the lower one.
document.documentElement.classList.add('js');
(function(){
const KEY='sbf-place';
const drawer=document.getElementById('filters');
const narrow=()=>matchMedia('(max-width:640px)').matches;
const save=()=>{try{const a=document.activeElement;sessionStorage.setItem(KEY,JSON.stringify({y:scrollY,focus:a&&a.id,fallback:a&&a.dataset&&a.dataset.fallback,open:!!(drawer&&drawer.open)}))}catch{/* no session storage (private mode): the page works without it */}};
addEventListener('load',()=>{let p=null;try{p=JSON.parse(sessionStorage.getItem(KEY)||'null');sessionStorage.removeItem(KEY)}catch{/* no session storage (private mode): the page works without it */}
if(drawer&&narrow()&&!(p&&p.open))drawer.open=false;
if(p){const f=[p.focus,...(p.fallback||'').split(' ')].map(id=>id&&document.getElementById(id)).find(e=>e);if(f)f.focus({preventScroll:true});scrollTo(0,p.y);}});
for(const a of document.querySelectorAll('a[href="#filters"],a[href="#criteria"]'))a.addEventListener('click',()=>{if(drawer)drawer.open=true});
let pointer=0;
addEventListener('pointerdown',()=>{pointer=Date.now()},true);
document.addEventListener('click',e=>{if(e.target.closest('a[href^="/?"]'))save()});
for(const f of document.querySelectorAll('form[data-autosubmit]')){
 let dirty=false;
 const go=()=>{dirty=false;save();f.requestSubmit()};
 f.addEventListener('change',e=>{if(e.target.type==='checkbox'||(e.target.tagName==='SELECT'&&Date.now()-pointer<1500))go();else dirty=true});
 f.addEventListener('keydown',e=>{if(e.key==='Enter'&&e.target.tagName==='SELECT'){e.preventDefault();go()}});
 f.addEventListener('focusout',e=>{if(dirty&&!f.contains(e.relatedTarget))go()});
 f.addEventListener('submit',save);
}
for(const f of document.querySelectorAll('form.range')){
 const lo=f.querySelector('select[name=min]'),hi=f.querySelector('select[name=max]');
 const n=o=>o&&o.dataset.n!==undefined?Number(o.dataset.n):NaN;
 const fit=()=>{const a=n(lo.selectedOptions[0]),b=n(hi.selectedOptions[0]);
  for(const o of hi.options)o.disabled=n(o)<a;for(const o of lo.options)o.disabled=n(o)>b;};
 lo.addEventListener('change',fit);hi.addEventListener('change',fit);fit();
}
})();
