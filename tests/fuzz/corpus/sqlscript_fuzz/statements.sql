-- seed: a statement, a quoted semicolon, a comment with one
create schema if not exists zy;
create table zy.t (a varchar(20) not null, b integer);
insert into zy.t values('x;y', 1); -- not; a split
select "a;" from zy.t where a = 'it''s';
