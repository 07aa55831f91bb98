-- 1. in prj
Select Code,Symbol,symbolafter,decimals,conversion from currency_symbol where (code IN (N'USD',N'EUR'));

-- 2. in prj
select sbft.sbf_row_id, sbft.search_by_Features_text from search_by_features_text sbft  inner join search_by_features sbf on (sbf.row_id=sbft.sbf_row_id) and (sbf.order_id = 1) Where (language_id = 1) order by sbf_row_id

-- 3. in specs
select distinct eq0.schema_id, '      '+eq0.data_value as data_value, COALESCE(st.full_text,eq0.data_value) as full_text, sbf.criterion_schema_id, sbf.criterion_value, sbf.criterion_location, sbf.row_id , sbf.order_id, sbf.Category, sbf.multi_select_style from equipment eq0 inner join schema_info si on (eq0.schema_id = si.schema_id) and (si.data_type <> 1) and (si.data_type <> 2) inner join prj..search_by_features sbf on (eq0.schema_id = sbf.criterion_schema_id) and (eq0.location = sbf.criterion_location) and (sbf.criterion_value = eq0.data_value or sbf.criterion_value=N'' or sbf.criterion_value=N'*') left join schema_text st on (eq0.schema_id = st.schema_id and eq0.data_value = st.data_value) and (st.language_id = 1) WHERE eq0.vehicle_id in (select distinct vehicle_id from equipment where schema_id = 106 AND (data_value <> N'A') AND vehicle_id in (select distinct vehicle_id from equipment where schema_id = 302 AND (LEFT(data_value, 3) <> N'(O)') AND (LEFT(data_value, 3) <> N'(+)') ) ) order by sbf.row_id, sbf.order_id, [data_value];

-- 4. in specs
select distinct min(cast(eq0.data_value as float)) as "Minimum", max(cast(eq0.data_value as float))  as "Maximum", sbf.criterion_schema_id, sbf.criterion_value, sbf.criterion_location, cast(sbf.row_id as float) as "Row_Id", cast(sbf.order_id as float) as "Order_Id", sbf.Category, sbf.multi_select_style, sbf.criterion_increment, sbf.criterion_format from equipment eq0 inner join prj..search_by_features sbf on (eq0.schema_id = sbf.criterion_schema_id) and (eq0.location = sbf.criterion_location) and (sbf.criterion_value = eq0.data_value or sbf.criterion_value=N'' or sbf.criterion_value=N'*') and (sbf.multi_select_style = 2) inner join schema_info si on (eq0.schema_id = si.schema_id and (si.data_type = 1 or si.data_type = 2)) WHERE eq0.vehicle_id in (select distinct vehicle_id from equipment where schema_id = 106 AND (data_value <> N'A') AND vehicle_id in (select distinct vehicle_id from equipment where schema_id = 302 AND (LEFT(data_value, 3) <> N'(O)') AND (LEFT(data_value, 3) <> N'(+)') ) )  group by sbf.row_id , sbf.order_id, sbf.criterion_schema_id, sbf.criterion_value, sbf.criterion_location,  sbf.Category, sbf.multi_select_style, sbf.criterion_increment, sbf.criterion_format order by "Row_Id", "Order_Id"; 

-- 5. in specs
select distinct CAST(eq0.data_value as float) as fdata_value, sbf.criterion_schema_id, sbf.criterion_value, sbf.criterion_location, sbf.row_id, sbf.order_id, sbf.Category, sbf.multi_select_style, sbf.criterion_format from equipment eq0 inner join prj..search_by_features sbf on (eq0.schema_id = sbf.criterion_schema_id) and (eq0.location = sbf.criterion_location) and (sbf.criterion_value = eq0.data_value or sbf.criterion_value=N'' or sbf.criterion_value=N'*') and (sbf.multi_select_style <> 2) inner join schema_info si on (eq0.schema_id = si.schema_id and (si.data_type = 1 or si.data_type = 2)) WHERE eq0.vehicle_id in (select distinct vehicle_id from equipment where schema_id = 106 AND (data_value <> N'A') AND vehicle_id in (select distinct vehicle_id from equipment where schema_id = 302 AND (LEFT(data_value, 3) <> N'(O)') AND (LEFT(data_value, 3) <> N'(+)') ) ) order by sbf.row_id, sbf.order_id, "fdata_value"; 

-- 6. in specs
select distinct v.id_901 from version v where (v.id_901 <> '');

-- 7. in specs
select distinct eq.vehicle_id from equipment eq WHERE eq.vehicle_id in (select distinct vehicle_id from equipment where schema_id = 106 AND (data_value <> N'A') AND vehicle_id in (select distinct vehicle_id from equipment where schema_id = 302 AND (LEFT(data_value, 3) <> N'(O)') AND (LEFT(data_value, 3) <> N'(+)') ) ) ;

-- 8. in specs
select distinct eq.vehicle_id , v.name from equipment eq inner join version v on (v.vehicle_id = eq.vehicle_id) WHERE eq.vehicle_id in (select distinct vehicle_id from equipment where schema_id = 106 AND (data_value <> N'A') AND vehicle_id in (select distinct vehicle_id from equipment where schema_id = 302 AND (LEFT(data_value, 3) <> N'(O)') AND (LEFT(data_value, 3) <> N'(+)') ) ) order by v.name;

-- 9. in prj
select distinct atxt.application_text, c.sbf_order_id from application_texts atxt inner join categories c on (c.category_name = atxt.text_id) inner join search_by_features sbf on (sbf.category = c.category_name) Where atxt.language_id = 1 order by c.sbf_order_id

